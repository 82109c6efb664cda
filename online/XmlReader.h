#pragma once

#include "online/XmlHandler.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tolvar {

// A compact scanner for the small documents of the online database: no tree,
// no validation, plain text search for each element (see XmlReader.cpp).
class XmlReader
{
public:
    // Levels nested deeper than this are not scanned, so that a hostile
    // document cannot exhaust the stack.
    static constexpr int kMaxDepth = 256;

    explicit XmlReader(XmlHandler* handler = nullptr);
    virtual ~XmlReader();

    // False at once for an absent or empty text; otherwise scans the whole
    // text, calls OnEndDocument and returns true.
    bool ParseDocument(const char* text, int length);

    // Where the trace goes; null (the default) sends it nowhere.
    void SetTraceStream(std::ostream* trace) { m_trace = trace; }
    // Standard output when TOLVAR_XML_TRACE=1 is set, else null: the trace is
    // for looking into a server's answers, not for a normal run.
    static std::ostream* TraceStreamFromEnvironment();

private:
    struct ScanRecord;
    struct Fence;
    struct Leaf; // a child element without children: its ranges in the level

    // fence, when given, is the end of a big node's content, found as the
    // scan goes; the level's text runs up to it.
    bool ScanLevel(const char* text, int length, int depth, Fence* fence = nullptr);
    // The trace's number for a new scan record.
    std::uint32_t NextNodeNumber();
    bool FindNextElement(ScanRecord& record);
    // Reads a node's children into m_leaves while all are leaves, up to the
    // node's closing tag; false, with nothing decided, at anything else.
    bool ReadLeafChildren(const ScanRecord& record, int from, int& close);
    void ReportLeaves(const char* text, const char* levelEnd);
    void ReportElement(const char* text, const char* levelEnd, const Leaf& leaf);
    void ReportNode(const ScanRecord& record);

    // The name of the element from start to end of text, as a string for
    // the handler.
    const std::string& Name(const char* text, int start, int end, const char* levelEnd);
    // Name when the name is not the one that followed the last: a search of
    // the known names, or a copy.
    const std::string& FindName(const char* name, int length, const char* levelEnd);

    std::uint32_t m_untracedRecords = 0; // scan records of this parse not yet numbered
    std::vector<Leaf> m_leaves;
    // Scratch texts for the notifications; they are only
    // valid during one call, so every level shares them.
    std::string m_name;
    std::string m_value;
    std::string m_attributes;
    // A document repeats a few element names thousands of times: each is
    // copied once and handed out again, found by its first sixteen bytes.
    // They come in the same order record after record, so the name that
    // followed the last one is tried first.
    struct KnownName
    {
        alignas(16) char bytes[16]; // the name, zero-padded
        int length;
        int next; // the known name that followed this one last, or -1
        std::string name;
    };
    std::vector<KnownName> m_knownNames;
    int m_lastName = -1; // the known name handed out last, or -1
    XmlHandler* m_handler;
    std::ostream* m_trace;
};

} // namespace tolvar
