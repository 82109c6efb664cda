// How the scanner works: a level is a stretch of text. From its cursor it
// finds the next "<" and ">" (the start tag), takes the name up to the first
// space and the rest of the tag as attribute text, and searches the closing
// tag "</name>" as plain text, the first occurrence winning. Content without
// "<" is reported as a leaf; content with "<" as a node, and is then scanned
// as a level of its own. Text that fits none of this ends its level quietly.
// Positions index into the reader's copy of the document; only names, values
// and attribute texts are copied, for the handler.
#include "online/XmlReader.h"

#include <atomic>
#include <cstring>
#include <iostream>

namespace tolvar {
namespace {

// Numbers every scan record ever made; only the trace shows them.
std::atomic<std::uint32_t> g_nodeCounter{0};

int FindChar(const char* text, int length, int from, char c)
{
    if (from >= length) {
        return -1;
    }
    const void* hit = std::memchr(text + from, c, static_cast<std::size_t>(length - from));
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - text);
}

// First occurrence of needle (which starts with "<") at or behind from. The
// match is nearly always close (a leaf's closing tag follows its value), so
// the first stretch is walked "<" by "<"; a longer search is left to memmem,
// whose set-up would cost more than the walk on short distances.
int FindText(const char* text, int length, int from, const std::string& needle)
{
    const int n = static_cast<int>(needle.size());
    const int walkEnd = length - from > 4096 ? from + 4096 : length;
    while (from <= length - n && from < walkEnd) {
        const int at = FindChar(text, walkEnd, from, needle[0]);
        if (at < 0 || at > length - n) {
            break;
        }
        // Most "<" open a tag; the byte after it settles them without a call.
        if (text[at + 1] == needle[1] &&
            std::memcmp(text + at + 2, needle.data() + 2, static_cast<std::size_t>(n - 2)) == 0) {
            return at;
        }
        from = at + 1;
    }
    from = from > walkEnd ? from : walkEnd;
    if (from > length - n) {
        return -1;
    }
    const void* hit =
        memmem(text + from, static_cast<std::size_t>(length - from), needle.data(), needle.size());
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - text);
}

// Fills out with an inclusive range of text; empty for none. Reusing the
// same strings spares an allocation per element.
void Range(std::string& out, const char* text, int start, int end)
{
    if (start < 0 || end < start) {
        out.clear();
    } else {
        out.assign(text + start, static_cast<std::size_t>(end - start + 1));
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

XmlReader::XmlReader(XmlHandler* handler) : m_handler(handler), m_trace(&std::cout) {}

XmlReader::~XmlReader() = default;

bool XmlReader::ParseDocument(const char* text, int length)
{
    if (text == nullptr || length <= 0) {
        return false;
    }
    m_document.assign(text, static_cast<std::size_t>(length));
    if (m_trace != nullptr) {
        *m_trace << "----- parse document -----\n"
                 << m_document << "\n\n----- start parsing -----\n\n";
    }
    const bool result = ScanLevel(m_document.data(), length, 1);
    if (m_handler != nullptr) {
        m_handler->OnEndDocument();
    }
    return result;
}

bool XmlReader::FindNextElement(ScanRecord& r, std::string& closing)
{
    const char* t = r.text;
    r.tagStart = r.tagEnd = r.closingStart = r.closingEnd = r.cursor;
    r.nameStart = r.nameEnd = r.attributesStart = r.attributesEnd = -1;
    r.contentStart = r.contentEnd = -1;
    r.contentHasTag = false;
    const int lt = FindChar(t, r.length, r.cursor, '<');
    if (lt < 0) {
        return false;
    }
    // One walk over the tag finds its ">" and the first space in it.
    int gt = -1;
    int space = -1;
    for (int i = lt + 1; i < r.length; ++i) {
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
    closing.resize(static_cast<std::size_t>(nameLength) + 3);
    closing[0] = '<';
    closing[1] = '/';
    std::memcpy(closing.data() + 2, t + r.nameStart, static_cast<std::size_t>(nameLength));
    closing[static_cast<std::size_t>(nameLength) + 2] = '>';
    // The first "<" behind the tag is either the closing tag itself (a leaf)
    // or the start of the content's first child.
    const int firstLt = FindChar(t, r.length, gt, '<');
    if (firstLt < 0) {
        return false;
    }
    const bool closesAtOnce = firstLt + static_cast<int>(closing.size()) <= r.length &&
                              std::memcmp(t + firstLt, closing.data(), closing.size()) == 0;
    const int close = closesAtOnce ? firstLt : FindText(t, r.length, firstLt + 1, closing);
    if (close < 0) {
        return false;
    }
    r.contentHasTag = !closesAtOnce;
    r.closingStart = close;
    r.closingEnd = close + static_cast<int>(closing.size());
    r.contentStart = gt + 1;
    r.contentEnd = close - 1;
    const int next = FindChar(t, r.length, r.closingEnd, '<');
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
        if (!FindNextElement(record, m_closing)) {
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
