#include "platform/gfx/TextCodec.h"

namespace tolvar::gfx {
namespace {

// Windows-1252 bytes 0x80..0x9F; the five holes map to themselves, as the
// Windows conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 if invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
std::size_t DecodeOne(std::string_view text, std::size_t i, char32_t& out)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b0 = byte(i);
    std::size_t length;
    char32_t cp = 0;
    if (b0 < 0x80) {
        out = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    out = cp;
    return length;
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = DecodeOne(text, i, cp);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::u32string DecodeWindows1252(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

std::u32string DecodeText(std::string_view text)
{
    if (!IsValidUtf8(text)) {
        return DecodeWindows1252(text);
    }
    std::u32string out;
    out.reserve(text.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        i += DecodeOne(text, i, cp);
        out.push_back(cp);
    }
    return out;
}

std::string EncodeUtf8(char32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text)
{
    std::string out;
    for (char32_t c : text) {
        out += EncodeUtf8(c);
    }
    return out;
}

} // namespace tolvar::gfx
