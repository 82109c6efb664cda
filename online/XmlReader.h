#pragma once

#include "online/XmlHandler.h"

#include <cstdint>
#include <iosfwd>
#include <string>

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

    void SetHandler(XmlHandler* handler) { m_handler = handler; }
    // The trace goes to standard output unless its owner chooses another
    // stream; null sends it nowhere.
    void SetTraceStream(std::ostream* trace) { m_trace = trace; }

private:
    struct ScanRecord;

    bool ScanLevel(const char* text, int length, int depth);
    static bool FindNextElement(ScanRecord& record, std::string& closing);
    void ReportElement(const ScanRecord& record);
    void ReportNode(const ScanRecord& record);

    std::string m_document;
    // Scratch texts for the notifications and the closing tag; they are only
    // valid during one call, so every level shares them.
    std::string m_name;
    std::string m_value;
    std::string m_attributes;
    std::string m_closing;
    XmlHandler* m_handler;
    std::ostream* m_trace;
};

} // namespace tolvar
