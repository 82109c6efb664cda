// A document from the online database, read by the XML reader into the list
// builder. The first byte chooses whether a list, a detail document or both
// are expected. Whatever the text, the build must hold only what its kind of
// document keeps, and every save queued for a detail fetch must be one of
// the records built.
#include "fuzz/FuzzCheck.h"
#include "online/OnlineListBuilder.h"
#include "online/OnlineSave.h"
#include "online/XmlReader.h"

#include <algorithm>

using namespace tolvar;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool readsList = (data[0] & 1) != 0;
    const bool readsDetail = (data[0] & 2) != 0;
    OnlineListBuilder builder(readsList, readsDetail);
    XmlReader reader(&builder);
    reader.SetTraceStream(nullptr);
    reader.ParseDocument(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    OnlineListBuild build = builder.TakeBuild();

    Check(readsList || build.children.empty(), "a detail document builds no list");
    Check(readsDetail || !build.file, "a list document keeps no file");
    for (const auto& record : build.children) {
        Check(record->m_kind == kOnlineKindFolder || record->m_kind == kOnlineKindSave,
              "a list holds folders and saves");
    }
    for (OnlineSave* save : build.detailQueue) {
        const bool owned = std::any_of(build.children.begin(), build.children.end(),
                                       [save](const auto& record) { return record.get() == save; });
        Check(owned, "a queued save is one of the records built");
        Check(save->m_placeholder == (save->m_name == OnlineSave::kPlaceholderName),
              "the placeholder is the save of that name");
    }
    return 0;
}
