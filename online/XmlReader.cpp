// How the scanner works: a level is a stretch of text. From its cursor it
// finds the next "<" and ">" (the start tag), takes the name up to the first
// space and the rest of the tag as attribute text, and searches the closing
// tag "</name>" as plain text, the first occurrence winning. Content without
// "<" is reported as a leaf; content with "<" as a node, and is then scanned
// as a level of its own. Text that fits none of this ends its level quietly.
// Positions index into the caller's text; only names, values and attribute
// texts are copied, for the handler.
//
// Every scan stays inside its level and reads no byte beyond it: the "<"
// searches are memchr, and the closing-tag search tests 16 places at once.
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

// The first c in [from, end) of text, or -1. Most are within a line, so up
// to four blocks of sixteen bytes are tested in place, sparing a call;
// memchr takes over beyond them.
inline int Find(const char* text, int from, int end, char c)
{
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (int block = 0; block < 4 && end - from >= 16; ++block, from += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
        const auto hits =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)));
        if (hits != 0) {
            return from + std::countr_zero(hits);
        }
    }
#endif
    if (from >= end) {
        return -1;
    }
    const void* at = std::memchr(text + from, c, static_cast<std::size_t>(end - from));
    return at == nullptr ? -1 : static_cast<int>(static_cast<const char*>(at) - text);
}

// Whether the n bytes at a and at b (which stands before a) are the same,
// where end is the end of the level holding both. Names are short, so one
// sixteen-byte compare settles nearly all.
inline bool SameName(const char* a, const char* b, int n, const char* end)
{
#if defined(__SSE2__)
    if (n <= 16 && end - a >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
        const std::uint32_t wanted = (std::uint32_t{1} << n) - 1;
        return (same & wanted) == wanted;
    }
#else
    (void)end;
#endif
    return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
}

// Whether "</" + name + ">" stands at tag; the caller has checked that its
// nameLength + 3 bytes lie inside the level, which ends at end.
inline bool IsClosingTag(const char* tag, const char* name, int nameLength, const char* end)
{
    return tag[0] == '<' && tag[1] == '/' && tag[nameLength + 2] == '>' &&
           SameName(tag + 2, name, nameLength, end);
}

// The first "</" + name + ">" that starts in [from, last] of text, or -1;
// last is the level's length minus the closing tag's, so every compare stays
// inside the level. A node's closing tag is searched over all its content,
// the whole document for the outermost one, so sixteen starts are tested at
// once by the tag's first, second, third and last bytes; only the few that
// pass all four are compared whole.
int FindClosingTag(const char* text, int from, int last, const char* name, int nameLength)
{
    const char* end = text + last + nameLength + 3;
    int at = from;
#if defined(__SSE2__)
    const int closeAt = nameLength + 2; // where the ">" stands in the tag
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i first = _mm_set1_epi8(nameLength > 0 ? name[0] : '>');
    for (; at + 15 <= last; at += 16) {
        const char* p = text + at;
        const __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lt);
        const __m128i b =
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), slash);
        const __m128i c =
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2)), first);
        const __m128i d =
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + closeAt)), gt);
        auto hits = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d))));
        for (; hits != 0; hits &= hits - 1) {
            const int candidate = at + std::countr_zero(hits);
            if (SameName(text + candidate + 2, name, nameLength, end)) {
                return candidate;
            }
        }
    }
#endif
    for (; at <= last; ++at) {
        at = Find(text, at, last + 1, '<');
        if (at < 0) {
            return -1;
        }
        if (IsClosingTag(text + at, name, nameLength, end)) {
            return at;
        }
    }
    return -1;
}

// FindClosingTag for a child in the content of a node whose end is still
// open: the first place in [from, last] where the child's closing tag or
// the node's starts, or -1; which of the two it is, is for the caller to
// see. Both names lie in the node's level, which ends at end.
int FindEitherClosingTag(const char* text, int from, int last, const char* name, int nameLength,
                         const char* outer, int outerLength, const char* end)
{
    int at = from;
#if defined(__SSE2__)
    const int longer = nameLength > outerLength ? nameLength : outerLength;
    const auto room = static_cast<int>(end - text) - longer - 18; // the loads' reach
    const int simdLast = last < room ? last : room;
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i first = _mm_set1_epi8(nameLength > 0 ? name[0] : '>');
    const __m128i outerFirst = _mm_set1_epi8(outerLength > 0 ? outer[0] : '>');
    for (; at + 15 <= simdLast; at += 16) {
        const char* p = text + at;
        const auto load = [p](int offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset));
        };
        const __m128i opens =
            _mm_and_si128(_mm_cmpeq_epi8(load(0), lt), _mm_cmpeq_epi8(load(1), slash));
        const __m128i own =
            _mm_and_si128(_mm_cmpeq_epi8(load(2), first), _mm_cmpeq_epi8(load(nameLength + 2), gt));
        const __m128i outers = _mm_and_si128(_mm_cmpeq_epi8(load(2), outerFirst),
                                             _mm_cmpeq_epi8(load(outerLength + 2), gt));
        auto hits = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(opens, _mm_or_si128(own, outers))));
        for (; hits != 0; hits &= hits - 1) {
            const char* candidate = text + at + std::countr_zero(hits);
            if (IsClosingTag(candidate, outer, outerLength, end) ||
                IsClosingTag(candidate, name, nameLength, end)) {
                return static_cast<int>(candidate - text);
            }
        }
    }
#endif
    for (; at <= last; ++at) {
        at = Find(text, at, last + 1, '<');
        if (at < 0) {
            return -1;
        }
        if (IsClosingTag(text + at, outer, outerLength, end) ||
            IsClosingTag(text + at, name, nameLength, end)) {
            return at;
        }
    }
    return -1;
}

// The last "</" + name + ">" that starts in [from, last] of text, or -1.
int FindLastClosingTag(const char* text, int from, int last, const char* name, int nameLength)
{
    const char* end = text + last + nameLength + 3;
    for (int at = last; at >= from; --at) {
        const void* lt = memrchr(text + from, '<', static_cast<std::size_t>(at - from + 1));
        if (lt == nullptr) {
            return -1;
        }
        at = static_cast<int>(static_cast<const char*>(lt) - text);
        if (IsClosingTag(text + at, name, nameLength, end)) {
            return at;
        }
    }
    return -1;
}

// How many element names are kept for handing out again.
constexpr std::size_t kKnownNames = 16;

// Content at least this long is scanned before its closing tag is known.
constexpr int kBigContent = 64 * 1024;

// From the "<" at lt, the tag's ">" (or -1 when the level has none), the
// first space before it (or -1), and whether another "<" stands between
// them, 16 bytes a step while the level holds them.
inline int ScanTag(const char* t, int lt, int length, int& space, bool& inner)
{
    space = -1;
    inner = false;
    int i = lt + 1;
#if defined(__SSE2__)
    const __m128i greater = _mm_set1_epi8('>');
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i less = _mm_set1_epi8('<');
    for (; i + 16 <= length; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        const auto ends =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, greater)));
        auto blanks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, blank)));
        auto opens = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, less)));
        if (ends != 0) {
            const std::uint32_t before = (ends & (0 - ends)) - 1; // only what stands before the ">"
            blanks &= before;
            opens &= before;
        }
        if (space < 0 && blanks != 0) {
            space = i + std::countr_zero(blanks);
        }
        inner = inner || opens != 0;
        if (ends != 0) {
            return i + std::countr_zero(ends);
        }
    }
#endif
    for (; i < length; ++i) {
        const char c = t[i];
        if (c == '>') {
            return i;
        }
        if (c == ' ' && space < 0) {
            space = i;
        }
        inner = inner || c == '<';
    }
    return -1;
}

// Fills out with an inclusive range of text; empty for none. Reusing the
// same strings spares an allocation per element.
inline void Range(std::string& out, const char* text, int start, int end)
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
    explicit ScanRecord(std::uint32_t number) : nodeNumber(number) {}

    std::uint32_t nodeNumber;
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
    bool mayDefer = false;      // the level's own end is known, so a node's may wait
    bool closePending = false;  // a node's closing tag is found while its content is read
    int firstChild = -1;        // for a pending close: the first "<" of the content
    Fence* fence = nullptr;     // the open end of the level, when it has one
    int depth = 1;
    bool leaves = false; // a node whose children, all leaves, are in m_leaves
};

struct XmlReader::Leaf
{
    int nameStart;
    int nameEnd;
    int valueStart;
    int valueEnd;
    int attributesStart;
    int attributesEnd;
};

namespace {

// The name and attribute text of the tag from lt to gt, as a scan record
// holds them; true for a tag ending in "/>".
inline bool TagRanges(const char* t, int lt, int gt, int space, int& nameStart, int& nameEnd,
                      int& attributesStart, int& attributesEnd)
{
    const bool selfClosing = t[gt - 1] == '/';
    nameStart = lt + 1;
    nameEnd = selfClosing ? gt - 2 : gt - 1;
    // Only a space ends a name; tabs and line breaks stay part of it.
    if (space >= 0 && space <= nameEnd) {
        nameEnd = space - 1;
    }
    const int nameLength = nameEnd >= nameStart ? nameEnd - nameStart + 1 : 0;
    attributesStart = attributesEnd = -1;
    if (gt - lt + 1 - nameLength > 3) {
        attributesStart = nameEnd + 2;
        attributesEnd = selfClosing ? gt - 2 : gt - 1;
    }
    return selfClosing;
}

} // namespace

// The end of a big node's content: its first closing tag. Rather than search
// the whole content for it before reading it, and so read it twice, the scan
// of the content runs up to the node's last closing tag and checks each
// place where the first could start as it goes: a "<" it passes, or the one
// place in a tag (whose only ">" is its last byte) where a closing tag
// ending with that ">" would start. Inside a child's content the child's
// own closing-tag search looks for both names.
struct XmlReader::Fence
{
    const char* text; // the node's level
    const char* end;  // the end of that level
    const char* name; // the node's name, in text
    int nameLength;
    int next;       // no closing tag of the node starts in the content before this
    int last;       // where the last closing tag of the node starts
    int close = -1; // where the first starts, once found

    // Whether the node's closing tag starts at at; if so, that is its end.
    bool At(const char* at)
    {
        if (close < 0 && IsClosingTag(at, name, nameLength, end)) {
            close = static_cast<int>(at - text);
        }
        return close >= 0;
    }

    // The first closing tag, searched for behind what the scan passed.
    int Close()
    {
        if (close < 0) {
            close = FindClosingTag(text, next, last, name, nameLength);
        }
        return close;
    }
};

XmlReader::XmlReader(XmlHandler* handler) : m_handler(handler), m_trace(nullptr)
{
    // Never reallocated, so a name handed out stays put.
    m_knownNames.reserve(kKnownNames);
}

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
    if (m_trace != nullptr) {
        *m_trace << "----- parse document -----\n"
                 << std::string_view(text, static_cast<std::size_t>(length))
                 << "\n\n----- start parsing -----\n\n";
    }
    m_untracedRecords = 0;
    const bool result = ScanLevel(text, length, 1);
    // Numbers nobody saw are taken in one step; the counter still grows by
    // one for every scan record.
    g_nodeCounter.fetch_add(m_untracedRecords, std::memory_order_relaxed);
    if (m_handler != nullptr) {
        m_handler->OnEndDocument();
    }
    return result;
}

std::uint32_t XmlReader::NextNodeNumber()
{
    if (m_trace != nullptr) {
        return g_nodeCounter.fetch_add(1, std::memory_order_relaxed);
    }
    ++m_untracedRecords;
    return 0;
}

// Kept inside the scan loop, where the record stays in registers.
[[gnu::always_inline]] inline bool XmlReader::FindNextElement(ScanRecord& r)
{
    const char* t = r.text;
    const int length = r.length;
    r.tagStart = r.tagEnd = r.closingStart = r.closingEnd = r.cursor;
    r.nameStart = r.nameEnd = r.attributesStart = r.attributesEnd = -1;
    r.contentStart = r.contentEnd = -1;
    r.contentHasTag = false;
    r.closePending = false;
    r.leaves = false;
    const int lt = Find(t, r.cursor, length, '<');
    if (lt < 0) {
        return false;
    }
    int space = -1;
    bool inner = false;
    const int gt = ScanTag(t, lt, length, space, inner);
    if (gt < 0) {
        return false;
    }
    Fence* const fence = r.fence;
    const int fenceLength = fence != nullptr ? fence->nameLength + 3 : 0;
    // A tag's only ">" is its last byte, so the open end could only start
    // where a closing tag ending with that ">" would; past it, the level has
    // ended before this element.
    // Past lt, that place would hold a "<" inside the tag.
    const int endStart = gt - fenceLength + 1;
    if (fence != nullptr && (endStart == lt || (endStart > lt && inner)) &&
        fence->At(t + endStart)) {
        return false;
    }
    r.tagStart = lt;
    r.tagEnd = gt;
    const bool selfClosing =
        TagRanges(t, lt, gt, space, r.nameStart, r.nameEnd, r.attributesStart, r.attributesEnd);
    const int nameLength = r.nameEnd >= r.nameStart ? r.nameEnd - r.nameStart + 1 : 0;
    if (selfClosing) {
        r.cursor = gt + 1;
        return true;
    }
    // The first "<" behind the tag is either the closing tag itself (a leaf)
    // or the start of the content's first child.
    const int firstLt = Find(t, gt, length, '<');
    if (firstLt < 0 || (fence != nullptr && fence->At(t + firstLt))) {
        return false;
    }
    // The closing tag is "</" + name + ">".
    const int closingLength = nameLength + 3;
    const int last = length - closingLength; // the last place it can start
    const char* name = t + r.nameStart;
    const bool closesAtOnce =
        firstLt <= last && IsClosingTag(t + firstLt, name, nameLength, t + length);
    if (!closesAtOnce && r.mayDefer && last - firstLt > kBigContent) {
        // A node is only reported when its closing tag is there; the last
        // one shows that, and the first is found as the content is read.
        const int lastClose = FindLastClosingTag(t, firstLt + 1, last, name, nameLength);
        if (lastClose < 0) {
            return false;
        }
        r.contentHasTag = true;
        r.closePending = true;
        r.firstChild = firstLt;
        r.closingStart = lastClose;
        r.contentStart = gt + 1;
        return true;
    }
    int close = firstLt;
    if (!closesAtOnce && r.depth < kMaxDepth && ReadLeafChildren(r, firstLt, close)) {
        r.leaves = true;
    } else if (!closesAtOnce) {
        close = fence == nullptr ? FindClosingTag(t, firstLt + 1, last, name, nameLength)
                                 : FindEitherClosingTag(t, firstLt + 1, last, name, nameLength,
                                                        fence->name, fence->nameLength, fence->end);
    }
    if (close < 0 || (fence != nullptr && fence->At(t + close))) {
        return false;
    }
    // The same for the closing tag, whose only ">" is its last byte too.
    if (fence != nullptr && inner && close + closingLength - fenceLength > close &&
        fence->At(t + close + closingLength - fenceLength)) {
        return false;
    }
    r.contentHasTag = !closesAtOnce;
    r.closingStart = close;
    r.closingEnd = close + closingLength;
    r.contentStart = gt + 1;
    r.contentEnd = close - 1;
    const int next = Find(t, r.closingEnd, length, '<');
    r.cursor = next >= 0 ? next : r.closingEnd;
    return true;
}

bool XmlReader::ReadLeafChildren(const ScanRecord& r, int from, int& close)
{
    // A node's content is commonly a few leaves: reading them here finds the
    // closing tag on the way, where a search for it would read the content
    // once more. Every place the node's closing tag (or the level's open
    // end) could start is checked, so the first is found as a search would;
    // whatever this does not follow is left to the search.
    const char* t = r.text;
    const int length = r.length;
    const char* name = t + r.nameStart;
    const int nameLength = r.nameEnd - r.nameStart + 1;
    const int last = length - nameLength - 3;
    const Fence* fence = r.fence;
    const auto closes = [&](int at) {
        return (at <= last && IsClosingTag(t + at, name, nameLength, t + length)) ||
               (fence != nullptr &&
                IsClosingTag(t + at, fence->name, fence->nameLength, fence->end));
    };
    // Where a closing tag ending with the ">" at gt would start, after after.
    const auto endsAt = [&](int after, int gt) {
        const int own = gt - nameLength - 2;
        if (own > after && closes(own)) {
            return true;
        }
        const int outer = fence != nullptr ? gt - fence->nameLength - 2 : -1;
        return outer > after && closes(outer);
    };
    m_leaves.clear();
    for (int lt = from;;) {
        if (fence != nullptr && IsClosingTag(t + lt, fence->name, fence->nameLength, fence->end)) {
            return false; // the level ends first
        }
        if (lt <= last && IsClosingTag(t + lt, name, nameLength, t + length)) {
            close = lt;
            return true;
        }
        // A closing tag that ends with the tag's ">", or with the leaf's
        // closing tag's (which repeats the name), starts at a "<" inside the
        // tag; without one, neither can.
        int space = -1;
        bool inner = false;
        const int gt = ScanTag(t, lt, length, space, inner);
        if (gt < 0 || (inner && endsAt(lt, gt))) {
            return false;
        }
        Leaf leaf{};
        leaf.valueStart = leaf.valueEnd = -1;
        const bool selfClosing = TagRanges(t, lt, gt, space, leaf.nameStart, leaf.nameEnd,
                                           leaf.attributesStart, leaf.attributesEnd);
        int end = gt + 1;
        if (!selfClosing) {
            const int child = Find(t, gt, length, '<');
            if (child < 0 || closes(child)) {
                return false;
            }
            const int childLength =
                leaf.nameEnd >= leaf.nameStart ? leaf.nameEnd - leaf.nameStart + 1 : 0;
            end = child + childLength + 3;
            if (end > length ||
                !IsClosingTag(t + child, t + leaf.nameStart, childLength, t + length) ||
                (inner && endsAt(child, end - 1))) {
                return false; // a child with children of its own, or no end
            }
            leaf.valueStart = gt + 1;
            leaf.valueEnd = child - 1;
        }
        m_leaves.push_back(leaf);
        lt = Find(t, end, length, '<');
        if (lt < 0) {
            return false;
        }
    }
}

// Kept in the reports, where it runs for every element.
[[gnu::always_inline]] inline const std::string& XmlReader::Name(const char* text, int start,
                                                                 int end, const char* levelEnd)
{
    const int length = end - start + 1;
    const char* name = text + start;
#if defined(__SSE2__)
    if (length <= 16 && levelEnd - name >= 16 && m_lastName >= 0) {
        const int next = m_knownNames[static_cast<std::size_t>(m_lastName)].next;
        if (next >= 0) {
            const KnownName& known = m_knownNames[static_cast<std::size_t>(next)];
            const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(name)),
                               _mm_load_si128(reinterpret_cast<const __m128i*>(known.bytes)))));
            const std::uint32_t wanted = (std::uint32_t{1} << length) - 1;
            if (known.length == length && (same & wanted) == wanted) {
                m_lastName = next;
                return known.name;
            }
        }
    }
#else
    (void)levelEnd;
#endif
    return FindName(name, length, levelEnd);
}

const std::string& XmlReader::FindName(const char* name, int length, const char* levelEnd)
{
    int found = -1;
#if defined(__SSE2__)
    if (length <= 16 && levelEnd - name >= 16) {
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name));
        const std::uint32_t wanted = (std::uint32_t{1} << length) - 1;
        for (std::size_t i = 0; i < m_knownNames.size() && found < 0; ++i) {
            const KnownName& known = m_knownNames[i];
            const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                loaded, _mm_load_si128(reinterpret_cast<const __m128i*>(known.bytes)))));
            if (known.length == length && (same & wanted) == wanted) {
                found = static_cast<int>(i);
            }
        }
        // A hostile document may use any number of names; a few suffice.
        if (found < 0 && m_knownNames.size() < kKnownNames) {
            KnownName& known = m_knownNames.emplace_back();
            std::memset(known.bytes, 0, sizeof known.bytes);
            std::memcpy(known.bytes, name, static_cast<std::size_t>(length));
            known.length = length;
            known.next = -1;
            known.name.assign(name, static_cast<std::size_t>(length));
            found = static_cast<int>(m_knownNames.size() - 1);
        }
    }
#else
    (void)levelEnd;
#endif
    if (found >= 0) {
        if (m_lastName >= 0) {
            m_knownNames[static_cast<std::size_t>(m_lastName)].next = found;
        }
        m_lastName = found;
        return m_knownNames[static_cast<std::size_t>(found)].name;
    }
    m_lastName = -1;
    m_name.assign(name, static_cast<std::size_t>(length));
    return m_name;
}

void XmlReader::ReportLeaves(const char* text, const char* levelEnd)
{
    // As the scan of the node's content would report them, from a level of
    // its own.
    const std::uint32_t number = NextNodeNumber();
    if (m_trace != nullptr) {
        *m_trace << "parse node: " << number << "\n\n";
    }
    for (const Leaf& leaf : m_leaves) {
        ReportElement(text, levelEnd, leaf);
    }
}

void XmlReader::ReportElement(const char* text, const char* levelEnd, const Leaf& r)
{
    if (r.nameEnd < r.nameStart) {
        return; // an empty name is neither reported nor traced
    }
    const std::string& name = Name(text, r.nameStart, r.nameEnd, levelEnd);
    std::string& value = m_value;
    std::string& attributes = m_attributes;
    Range(value, text, r.valueStart, r.valueEnd);
    Range(attributes, text, r.attributesStart, r.attributesEnd);
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
    const std::string& name = Name(r.text, r.nameStart, r.nameEnd, r.text + r.length);
    std::string& attributes = m_attributes;
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

bool XmlReader::ScanLevel(const char* text, int length, int depth, Fence* fence)
{
    ScanRecord record(NextNodeNumber());
    if (m_trace != nullptr) {
        *m_trace << "parse node: " << record.nodeNumber << "\n\n";
    }
    record.mayDefer = fence == nullptr;
    record.fence = fence;
    record.depth = depth;
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
        if (!record.contentHasTag) {
            ReportElement(text, text + length,
                          {record.nameStart, record.nameEnd, record.contentStart, record.contentEnd,
                           record.attributesStart, record.attributesEnd});
        } else if (record.leaves) {
            ReportNode(record);
            ReportLeaves(text, text + length);
        } else if (record.closePending) {
            ReportNode(record);
            const int nameLength = record.nameEnd - record.nameStart + 1;
            Fence content{text,       text + length,     text + record.nameStart,
                          nameLength, record.firstChild, record.closingStart};
            if (depth < kMaxDepth &&
                !ScanLevel(text + record.contentStart, record.closingStart - record.contentStart,
                           depth + 1, &content)) {
                return false;
            }
            record.closingStart = content.Close();
            record.closingEnd = record.closingStart + nameLength + 3;
            const int next = Find(text, record.closingEnd, length, '<');
            record.cursor = next >= 0 ? next : record.closingEnd;
        } else {
            ReportNode(record);
            // Beyond the depth bound the content is left unread. Siblings are
            // scanned whatever stands between the last child and the closing
            // tag, so a list written without indentation loses none of them.
            const int contentLength = record.contentEnd - record.contentStart + 1;
            if (depth < kMaxDepth &&
                !ScanLevel(text + record.contentStart, contentLength, depth + 1)) {
                return false;
            }
        }
        text += record.cursor;
        length -= record.cursor;
        if (fence != nullptr) {
            // The scan has passed every place up to here.
            fence->next = static_cast<int>(text - fence->text);
        }
    }
}

} // namespace tolvar
