// The XML reader over a 5 MB list document, its trace sent nowhere, against
// pugixml parsing the same text.
#include "online/XmlReader.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <string>

namespace {

// A list document as the list job hands it to the reader: lines joined
// without their ends, indentation kept.
const std::string& ListDocument()
{
    static const std::string doc = [] {
        std::string d = "<result>";
        for (int i = 0; d.size() < 5 * 1024 * 1024; ++i) {
            const std::string n = std::to_string(i);
            if (i % 10 == 0) {
                d += "  <folder>    <name>Folder+" + n +
                     "</name>    <url>http://127.0.0.1:8642/"
                     "tolvar_list.asp?folder=Folder%20" +
                     n + "</url>  </folder>";
            } else {
                d += "  <save>    <name>Save+" + n +
                     "+v1%2E0</name>    <description>A+description+of+save+" + n +
                     "</description>    "
                     "<url>http://127.0.0.1:8642/tolvar_save.asp?save=Big%20Folder/Save%20" +
                     n + "</url>  </save>";
            }
        }
        return d + "</result>";
    }();
    return doc;
}

class Counter final : public tolvar::XmlHandler
{
public:
    void OnNode(const std::string& name, const std::string&) override { nodes += name.size(); }
    void OnElement(const std::string&, const std::string& value, const std::string&) override
    {
        bytes += value.size();
    }
    void OnEndDocument() override {}
    std::size_t nodes = 0;
    std::size_t bytes = 0;
};

void BM_XmlReaderListDocument(benchmark::State& state)
{
    const std::string& doc = ListDocument();
    Counter counter;
    tolvar::XmlReader reader(&counter);
    reader.SetTraceStream(nullptr);
    for (auto _ : state) {
        reader.ParseDocument(doc.data(), static_cast<int>(doc.size()));
        benchmark::DoNotOptimize(counter.bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}

void BM_PugixmlListDocument(benchmark::State& state)
{
    const std::string& doc = ListDocument();
    for (auto _ : state) {
        pugi::xml_document parsed;
        const pugi::xml_parse_result result = parsed.load_buffer(doc.data(), doc.size());
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}

BENCHMARK(BM_PugixmlListDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlReaderListDocument)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
