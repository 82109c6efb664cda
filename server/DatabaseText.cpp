#include "server/DatabaseText.h"

#include <algorithm>

namespace tolvar::server {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool Uncarried(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '+' || c == '%' || c == '<' || c == '>' || c == '&';
}

void AppendHex(std::string& out, unsigned char c)
{
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when it is not
// one: no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c >= 0xF0 && c <= 0xF4   ? 4
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xC2 && c <= 0xDF ? 2
                                                   : 0;
    if (n == 0 || i + n > text.size()) {
        return 0;
    }
    // The second byte's range narrows for the lead bytes that could
    // otherwise start an overlong form, a surrogate or a too large value.
    const auto second = static_cast<unsigned char>(text[i + 1]);
    const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return n;
}

} // namespace

void AppendDisplayValue(std::string& out, std::string_view text)
{
    // Runs of bytes that stay as they are go in whole.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != ' ' && c != '.' && !Uncarried(c)) {
            continue;
        }
        out.append(text, run, i - run);
        run = i + 1;
        if (c == ' ') {
            out += '+';
        } else if (c == '.') {
            out += "%2E";
        }
    }
    out.append(text, run);
}

std::string EncodeDisplayValue(const std::string& text)
{
    std::string out;
    AppendDisplayValue(out, text);
    return out;
}

void AppendQueryValue(std::string& out, std::string_view text)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsAlnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            continue;
        }
        out.append(text, run, i - run);
        run = i + 1;
        AppendHex(out, c);
    }
    out.append(text, run);
}

std::string EncodeQueryValue(const std::string& text)
{
    std::string out;
    AppendQueryValue(out, text);
    return out;
}

std::string EncodeDownloadPath(const std::string& path)
{
    std::string out;
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAlnum(c) || c == '-' || c == '_' || c == '~' || c == '/') {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else if (c == '.') {
            out += "%2E";
        } else {
            AppendHex(out, c);
        }
    }
    return out;
}

std::string CleanText(std::string_view text, std::size_t maxBytes)
{
    // Runs of bytes that are kept go in whole, into room taken once.
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    std::size_t i = 0;
    std::size_t run = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 1;
        bool keep = !Uncarried(c);
        if (c >= 0x80) {
            n = Utf8Length(text, i);
            keep = n != 0;
            n = n == 0 ? 1 : n;
        }
        if (!keep) {
            out.append(text, run, i - run);
            run = i + n;
        } else if (out.size() + (i - run) + n > maxBytes) {
            break;
        }
        i += n;
    }
    out.append(text, run, i - run);
    return out;
}

bool IsWellFormedUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
        } else if (const std::size_t n = Utf8Length(text, i); n != 0) {
            i += n;
        } else {
            return false;
        }
    }
    return true;
}

std::string CleanSaveName(const std::string& name)
{
    std::string cleaned;
    for (char c : CleanText(name, 64)) {
        if (c != '/' && c != '\\') {
            cleaned += c;
        }
    }
    const std::size_t first = cleaned.find_first_not_of(". ");
    if (first == std::string::npos) {
        return {};
    }
    cleaned.erase(0, first);
    while (!cleaned.empty() && cleaned.back() == ' ') {
        cleaned.pop_back();
    }
    return cleaned;
}

} // namespace tolvar::server
