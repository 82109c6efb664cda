#include "online/XmlReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace tolvar {
namespace {

class Recorder final : public XmlHandler
{
public:
    void OnNode(const std::string& name, const std::string& attributes) override
    {
        events.push_back("N " + name + "|" + attributes);
    }
    void OnElement(const std::string& name, const std::string& value,
                   const std::string& attributes) override
    {
        events.push_back("E " + name + "|" + value + "|" + attributes);
    }
    void OnEndDocument() override { events.push_back("END"); }

    std::vector<std::string> events;
};

std::vector<std::string> Parse(const std::string& doc)
{
    Recorder recorder;
    XmlReader reader(&recorder);
    reader.SetTraceStream(nullptr);
    EXPECT_TRUE(reader.ParseDocument(doc.data(), static_cast<int>(doc.size()))) << doc;
    return recorder.events;
}

using Events = std::vector<std::string>;

TEST(XmlReader, ReportsElementsAndNodesInDocumentOrder)
{
    const std::pair<std::string, Events> cases[] = {
        {"<a>1</a><b>2</b>", {"E a|1|", "E b|2|", "END"}},
        {"<save id=7>x</save>", {"E save|x|id=7", "END"}},
        {"<save/>", {"E save||", "END"}},
        {"<save a=1/>", {"E save||a=1", "END"}},
        {"<a />", {"E a||", "END"}},
        {"<list>  <a>1</a>  </list>", {"N list|", "E a|1|", "END"}},
        {"<a>x", {"END"}},
        {"no markup at all", {"END"}},
        {"<a 1</a>", {"END"}},
        {"<v>&amp; &#65;</v>", {"E v|&amp; &#65;|", "END"}},
        {"<?xml version=\"1.0\"?><a>1</a>", {"END"}},
        {"<>x</><b>2</b>", {"E b|2|", "END"}},
        {"<a\tb>1</a\tb>", {"E a\tb|1|", "END"}},
        {"<e></e>", {"E e||", "END"}},
        {"<x>  </x>", {"E x|  |", "END"}},
        // Closing tags are found by plain search, so a nested name closes early.
        {"<a><a>1</a></a><b>2</b>", {"N a|", "END"}},
        {"<s><x</s y>1</x</s></s><b>2</b>", {"N s|", "END"}},
        {"<s><n>1</n><m/>\t<s>2</s></s><b>3</b>", {"N s|", "E n|1|", "E m||", "END"}},
        // The same with the tag's ">" in its second sixteen bytes.
        {"<s><x</s yyyyyyyyyyyyyyyy>1</x</s></s><b>2</b>", {"N s|", "END"}},
        // A name met before is handed out again only when it is the same.
        {"<abc>1</abc><ab>2</ab><abc/><a/>                ",
         {"E abc|1|", "E ab|2|", "E abc||", "E a||", "END"}},
        // Values ending at and around the in-place blocks' ends.
        {"<a>" + std::string(47, 'v') + "</a><b>" + std::string(63, 'w') + "</b><c>" +
             std::string(64, 'x') + "</c><d>y<",
         {"E a|" + std::string(47, 'v') + "|", "E b|" + std::string(63, 'w') + "|",
          "E c|" + std::string(64, 'x') + "|", "END"}},
        {"<r><f><n>A</n></f><s><n>B</n><u>u</u></s></r>",
         {"N r|", "N f|", "E n|A|", "N s|", "E n|B|", "E u|u|", "END"}},
        {"<r>\t<f>  <n>A</n>  </f>  <s>  <n>B</n>  <u>u</u>  </s>  </r>",
         {"N r|", "N f|", "E n|A|", "N s|", "E n|B|", "E u|u|", "END"}},
    };
    for (const auto& [doc, events] : cases) {
        EXPECT_EQ(Parse(doc), events) << doc;
    }
}

TEST(XmlReader, BigNodeEndsAtItsFirstClosingTagWhereverItStands)
{
    // Content this long is read before its end is known; the first "</r>"
    // still ends it, in a child's content, start tag or closing tag alike.
    const std::string head = "<r><a>1</a>" + std::string(70000, ' ');
    const std::pair<std::string, Events> cases[] = {
        {head + "<b x=1/></r><c>3</c>", {"N r|", "E a|1|", "E b||x=1", "E c|3|", "END"}},
        {head + "<r>2</r></r>", {"N r|", "E a|1|", "END"}},
        {head + "<s><n>x</r></n></s></r>", {"N r|", "E a|1|", "END"}},
        {head + "<b</r>2</b</r></r>", {"N r|", "E a|1|", "END"}},
        {head + "<x</r y>1</x</r></r>", {"N r|", "E a|1|", "END"}},
        {head, {"END"}},
    };
    for (const auto& [doc, events] : cases) {
        EXPECT_EQ(Parse(doc), events) << doc.substr(head.size());
    }
}

std::string Unnumbered(const std::string& trace)
{
    // Node numbers come from a process-wide counter; the rest is fixed.
    std::string out = trace;
    const std::string key = "parse node: ";
    for (std::size_t at = 0; (at = out.find(key, at)) != std::string::npos;) {
        at += key.size();
        const std::size_t digits = out.find_first_not_of("0123456789", at);
        EXPECT_GT(digits, at) << "a node number";
        out.replace(at, digits - at, "#");
    }
    return out;
}

TEST(XmlReader, TracesEveryStepOfADocumentAndNothingForNoText)
{
    Recorder recorder;
    XmlReader empty(&recorder);
    std::ostringstream trace;
    empty.SetTraceStream(&trace);
    EXPECT_FALSE(empty.ParseDocument("", 0));
    EXPECT_FALSE(empty.ParseDocument(nullptr, 5));
    EXPECT_FALSE(empty.ParseDocument("<a>1</a>", -1));
    EXPECT_TRUE(recorder.events.empty());

    XmlReader reader(nullptr);
    reader.SetTraceStream(&trace);
    const std::string doc = "<list k=v><a>1</a><b/></list>";
    EXPECT_TRUE(reader.ParseDocument(doc.data(), static_cast<int>(doc.size())))
        << "a reader needs no handler";
    EXPECT_EQ(Unnumbered(trace.str()), "----- parse document -----\n" + doc +
                                           "\n\n----- start parsing -----\n\n"
                                           "parse node: #\n\n"
                                           "Found Node: \nname: list\nattributes: k=v\n\n"
                                           "parse node: #\n\n"
                                           "Found Element: \nname: a\nvalue: 1\n\n"
                                           "Found Element: \nname: b\n\n");
}

std::string Nested(int levels)
{
    std::string doc;
    for (int i = 0; i < levels; ++i) {
        doc += "<n" + std::to_string(i) + "> ";
    }
    doc += "<leaf>x</leaf>";
    for (int i = levels - 1; i >= 0; --i) {
        doc += " </n" + std::to_string(i) + ">";
    }
    return doc + "<after>1</after>";
}

TEST(XmlReader, DeepNestingIsCutAtTheBoundWithoutExhaustingTheStack)
{
    const std::size_t max = XmlReader::kMaxDepth;
    const Events deep = Parse(Nested(3000));
    // One node per level down to the bound; the deeper text is not read, and
    // the reader goes on with what follows the outermost element.
    ASSERT_EQ(deep.size(), max + 2);
    EXPECT_EQ(deep[0], "N n0|");
    EXPECT_EQ(deep[max - 1], "N n" + std::to_string(max - 1) + "|");
    EXPECT_EQ(deep[max], "E after|1|");
    EXPECT_EQ(deep.back(), "END");

    // Just within the bound everything is read.
    const Events within = Parse(Nested(static_cast<int>(max) - 1));
    ASSERT_EQ(within.size(), max + 2);
    EXPECT_EQ(within[max - 1], "E leaf|x|");
    EXPECT_EQ(within[max], "E after|1|");
}

} // namespace
} // namespace tolvar
