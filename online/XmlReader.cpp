// How the scanner works: a level is a stretch of text. From its cursor it
// finds the next "<" and ">" (the start tag), takes the name up to the first
// space and the rest of the tag as attribute text, and searches the closing
// tag "</name>" as plain text, the first occurrence winning. Content without
// "<" is reported as a leaf; content with "<" as a node, and is then scanned
// as a level of its own. Text that fits none of this ends its level quietly.
// Positions index into the reader's copy of the document; only names, values
// and attribute texts are copied, for the handler.
//
// Every search starts at a "<", and a node's text is searched twice (for its
// closing tag, then for its children), so the copy is indexed once: one bit
// per byte marks each "<", and finding the next one is a few word tests.
#include "online/XmlReader.h"

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvar {
namespace {

// Numbers every scan record ever made; only the trace shows them.
std::atomic<std::uint32_t> g_nodeCounter{0};

// Marks every "<" of text in bits, one 64-bit word per 64 bytes.
void IndexTagStarts(const char* text, std::size_t length, std::vector<std::uint64_t>& bits)
{
    bits.resize((length + 63) / 64);
    std::size_t at = 0;
    std::size_t word = 0;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    for (; at + 64 <= length; at += 64, ++word) {
        std::uint64_t mask = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i chunk =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + 16 * part));
            const auto found =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lt)));
            mask |= static_cast<std::uint64_t>(found) << (16 * part);
        }
        bits[word] = mask;
    }
#endif
    for (; at < length; at += 64, ++word) {
        std::uint64_t mask = 0;
        const std::size_t end = length - at < 64 ? length - at : 64;
        for (std::size_t i = 0; i < end; ++i) {
            mask |= static_cast<std::uint64_t>(text[at + i] == '<') << i;
        }
        bits[word] = mask;
    }
}

// Bytes the copy holds behind the text, so that 16 bytes can be compared at
// once up to its last byte.
constexpr std::size_t kPadding = 16;

// Whether the n bytes at a and b are the same; both lie in the padded copy.
// Names are short, so one 16-byte compare settles nearly all.
inline bool SameName(const char* a, const char* b, int n)
{
#if defined(__SSE2__)
    for (;; a += 16, b += 16, n -= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
        if (n <= 16) {
            const std::uint32_t wanted = (std::uint32_t{1} << n) - 1;
            return (same & wanted) == wanted;
        }
        if (same != 0xFFFF) {
            return false;
        }
    }
#else
    return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
#endif
}

// Fills out with an inclusive range of text; empty for none. Reusing the
// same strings spares an allocation per element.
void Range(std::string& out, const char* text, int start, int end)
{
    if (start < 0 || end < start) {
        out.clear();
    } else {
        const auto n = static_cast<std::size_t>(end - start + 1);
        out.resize(n);
        std::memcpy(out.data(), text + start, n);
    }
}

} // namespace

struct XmlReader::ScanRecord
{
    std::uint32_t nodeNumber = g_nodeCounter.fetch_add(1, std::memory_order_relaxed);
    const char* text = nullptr;
    int length = 0;
    int cursor = 0;
    int tagStart = -1;
    int tagEnd = -1;
    int closingStart = -1;
    int closingEnd = -1;
    int nameStart = -1;
    int nameEnd = -1;
    int attributesStart = -1;
    int attributesEnd = -1;
    int contentStart = -1;
    int contentEnd = -1;
    bool contentHasTag = false; // a "<" stands between start tag and closing tag
};

XmlReader::XmlReader(XmlHandler* handler) : m_handler(handler), m_trace(nullptr) {}

std::ostream* XmlReader::TraceStreamFromEnvironment()
{
    const char* value = std::getenv("TOLVAR_XML_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0 ? &std::cout : nullptr;
}

XmlReader::~XmlReader() = default;

bool XmlReader::ParseDocument(const char* text, int length)
{
    if (text == nullptr || length <= 0) {
        return false;
    }
    m_document.reserve(static_cast<std::size_t>(length) + kPadding);
    m_document.assign(text, static_cast<std::size_t>(length));
    IndexTagStarts(m_document.data(), m_document.size(), m_tagStarts);
    m_document.append(kPadding, '\0'); // never scanned: the levels end at length
    if (m_trace != nullptr) {
        *m_trace << "----- parse document -----\n"
                 << std::string_view(m_document.data(), static_cast<std::size_t>(length))
                 << "\n\n----- start parsing -----\n\n";
    }
    const bool result = ScanLevel(m_document.data(), length, 1);
    if (m_handler != nullptr) {
        m_handler->OnEndDocument();
    }
    return result;
}

int XmlReader::FindTagStart(const char* text, int length, int from) const
{
    if (from >= length) {
        return -1;
    }
    // Levels are stretches of the copy; the index counts from its start.
    const auto offset = static_cast<std::size_t>(text - m_document.data());
    const std::size_t first = offset + static_cast<std::size_t>(from);
    const std::size_t end = offset + static_cast<std::size_t>(length);
    std::size_t word = first / 64;
    const std::size_t lastWord = (end - 1) / 64;
    std::uint64_t bits = m_tagStarts[word] & (~std::uint64_t{0} << (first % 64));
    while (bits == 0) {
        if (++word > lastWord) {
            return -1;
        }
        bits = m_tagStarts[word];
    }
    const std::size_t at = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
    return at < end ? static_cast<int>(at - offset) : -1;
}

int XmlReader::FindClosingTag(const char* text, int length, int from, const char* name,
                              int nameLength) const
{
    const int n = nameLength + 3;
    if (from > length - n) {
        return -1;
    }
    // A node's closing tag is searched over every "<" of its content, the
    // whole document for the outermost one: its bits are walked here.
    const char* document = m_document.data();
    const auto offset = static_cast<std::size_t>(text - document);
    const std::size_t first = offset + static_cast<std::size_t>(from);
    const std::size_t last = offset + static_cast<std::size_t>(length - n);
    std::size_t word = first / 64;
    std::uint64_t bits = m_tagStarts[word] & (~std::uint64_t{0} << (first % 64));
    for (;;) {
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t at = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
            if (at > last) {
                return -1;
            }
            // Most "<" open a tag; the byte after it settles them.
            const char* tag = document + at;
            if (tag[1] == '/' && tag[n - 1] == '>' && SameName(tag + 2, name, nameLength)) {
                return static_cast<int>(at - offset);
            }
        }
        if (++word > last / 64) {
            return -1;
        }
        bits = m_tagStarts[word];
    }
}

bool XmlReader::FindNextElement(ScanRecord& r) const
{
    const char* t = r.text;
    r.tagStart = r.tagEnd = r.closingStart = r.closingEnd = r.cursor;
    r.nameStart = r.nameEnd = r.attributesStart = r.attributesEnd = -1;
    r.contentStart = r.contentEnd = -1;
    r.contentHasTag = false;
    const int lt = FindTagStart(t, r.length, r.cursor);
    if (lt < 0) {
        return false;
    }
    // One walk over the tag finds its ">" and the first space in it, 16
    // bytes a step while the level holds them.
    int gt = -1;
    int space = -1;
    int i = lt + 1;
#if defined(__SSE2__)
    const __m128i greater = _mm_set1_epi8('>');
    const __m128i blank = _mm_set1_epi8(' ');
    for (; i + 16 <= r.length; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        const auto ends =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, greater)));
        auto blanks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, blank)));
        if (ends != 0) {
            blanks &= (ends & (0 - ends)) - 1; // only blanks before the ">"
        }
        if (space < 0 && blanks != 0) {
            space = i + std::countr_zero(blanks);
        }
        if (ends != 0) {
            gt = i + std::countr_zero(ends);
            break;
        }
    }
#endif
    for (; gt < 0 && i < r.length; ++i) {
        const char c = t[i];
        if (c == '>') {
            gt = i;
            break;
        }
        if (c == ' ' && space < 0) {
            space = i;
        }
    }
    if (gt < 0) {
        return false;
    }
    r.tagStart = lt;
    r.tagEnd = gt;
    const bool selfClosing = t[gt - 1] == '/';
    r.nameStart = lt + 1;
    r.nameEnd = selfClosing ? gt - 2 : gt - 1;
    // Only a space ends a name; tabs and line breaks stay part of it.
    if (space >= 0 && space <= r.nameEnd) {
        r.nameEnd = space - 1;
    }
    const int nameLength = r.nameEnd >= r.nameStart ? r.nameEnd - r.nameStart + 1 : 0;
    const int tagLength = gt - lt + 1;
    if (tagLength - nameLength > 3) {
        r.attributesStart = r.nameEnd + 2;
        r.attributesEnd = selfClosing ? gt - 2 : gt - 1;
    }
    if (selfClosing) {
        r.cursor = gt + 1;
        return true;
    }
    // The first "<" behind the tag is either the closing tag itself (a leaf)
    // or the start of the content's first child.
    const int firstLt = FindTagStart(t, r.length, gt);
    if (firstLt < 0) {
        return false;
    }
    // The closing tag is "</" + name + ">".
    const int closingLength = nameLength + 3;
    const char* name = t + r.nameStart;
    const char* first = t + firstLt;
    const bool closesAtOnce = firstLt + closingLength <= r.length && first[1] == '/' &&
                              first[closingLength - 1] == '>' &&
                              SameName(first + 2, name, nameLength);
    const int close =
        closesAtOnce ? firstLt : FindClosingTag(t, r.length, firstLt + 1, name, nameLength);
    if (close < 0) {
        return false;
    }
    r.contentHasTag = !closesAtOnce;
    r.closingStart = close;
    r.closingEnd = close + closingLength;
    r.contentStart = gt + 1;
    r.contentEnd = close - 1;
    const int next = FindTagStart(t, r.length, r.closingEnd);
    r.cursor = next >= 0 ? next : r.closingEnd;
    return true;
}

void XmlReader::ReportElement(const ScanRecord& r)
{
    if (r.nameEnd < r.nameStart) {
        return; // an empty name is neither reported nor traced
    }
    std::string& name = m_name;
    std::string& value = m_value;
    std::string& attributes = m_attributes;
    Range(name, r.text, r.nameStart, r.nameEnd);
    Range(value, r.text, r.contentStart, r.contentEnd);
    Range(attributes, r.text, r.attributesStart, r.attributesEnd);
    if (m_trace != nullptr) {
        std::ostream& out = *m_trace;
        out << "Found Element: \n"
            << "name: " << name << '\n';
        if (!value.empty()) {
            out << "value: " << value << '\n';
        }
        if (!attributes.empty()) {
            out << "attributes: " << attributes << '\n';
        }
        out << '\n';
    }
    if (m_handler != nullptr) {
        m_handler->OnElement(name, value, attributes);
    }
}

void XmlReader::ReportNode(const ScanRecord& r)
{
    if (r.nameEnd < r.nameStart) {
        return;
    }
    std::string& name = m_name;
    std::string& attributes = m_attributes;
    Range(name, r.text, r.nameStart, r.nameEnd);
    Range(attributes, r.text, r.attributesStart, r.attributesEnd);
    if (m_trace != nullptr) {
        std::ostream& out = *m_trace;
        out << "Found Node: \n"
            << "name: " << name << '\n';
        if (!attributes.empty()) {
            out << "attributes: " << attributes << '\n';
        }
        out << '\n';
    }
    if (m_handler != nullptr) {
        m_handler->OnNode(name, attributes);
    }
}

bool XmlReader::ScanLevel(const char* text, int length, int depth)
{
    ScanRecord record;
    if (m_trace != nullptr) {
        *m_trace << "parse node: " << record.nodeNumber << "\n\n";
    }
    for (;;) {
        if (text == nullptr || length < 1) {
            return true;
        }
        record.text = text;
        record.length = length;
        record.cursor = 0;
        if (!FindNextElement(record)) {
            return true;
        }
        const int contentLength =
            record.contentEnd >= record.contentStart && record.contentStart >= 0
                ? record.contentEnd - record.contentStart + 1
                : 0;
        if (!record.contentHasTag) {
            ReportElement(record);
        } else {
            ReportNode(record);
            // Beyond the depth bound the content is left unread. Siblings are
            // scanned whatever stands between the last child and the closing
            // tag, so a list written without indentation loses none of them.
            if (depth < kMaxDepth &&
                !ScanLevel(text + record.contentStart, contentLength, depth + 1)) {
                return false;
            }
        }
        text += record.cursor;
        length -= record.cursor;
    }
}

} // namespace tolvar
