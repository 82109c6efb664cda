#include "online/OnlineListBuilder.h"

#include "online/OnlineFile.h"
#include "online/OnlineFolder.h"
#include "online/OnlineSave.h"
#include "online/OnlineValue.h"

#include <utility>

namespace tolvar {

OnlineListBuilder::OnlineListBuilder(bool readsList, bool readsDetail)
    : m_readsList(readsList), m_readsDetail(readsDetail)
{
}

OnlineListBuilder::~OnlineListBuilder() = default;

void OnlineListBuilder::OnNode(const std::string& name, const std::string&)
{
    FinishCurrentRecord();
    if (name == "folder") {
        m_current = std::make_unique<OnlineFolder>();
    } else if (name == "save") {
        m_current = std::make_unique<OnlineSave>();
    } else if (name == "file") {
        m_current = std::make_unique<OnlineFile>();
    }
}

void OnlineListBuilder::OnElement(const std::string& name, const std::string& value,
                                  const std::string&)
{
    if (!m_current) {
        return;
    }
    const int kind = m_current->m_kind;
    const bool folderOrSave = kind == kOnlineKindFolder || kind == kOnlineKindSave;
    if (folderOrSave && name == "name") {
        m_current->m_name = DecodeOnlineValue(value);
    } else if (folderOrSave && name == "description") {
        m_current->m_description = DecodeOnlineValue(value);
    } else if (folderOrSave && name == "url") {
        m_current->m_url = value;
    } else if (kind == kOnlineKindFile && name == "download_url") {
        m_current->m_url = value;
    } else if (kind == kOnlineKindFile && name == "download_size") {
        static_cast<OnlineFile*>(m_current.get())->m_downloadSize = ParseDecimal(value);
    }
}

void OnlineListBuilder::OnEndDocument()
{
    FinishCurrentRecord();
}

OnlineListBuild OnlineListBuilder::TakeBuild()
{
    FinishCurrentRecord();
    return std::exchange(m_build, OnlineListBuild{});
}

void OnlineListBuilder::FinishCurrentRecord()
{
    std::unique_ptr<OnlineRecord> record = std::move(m_current);
    if (!record) {
        return;
    }
    switch (record->m_kind) {
    case kOnlineKindFolder:
        if (m_readsList) {
            m_build.children.push_back(std::move(record));
        }
        break;
    case kOnlineKindSave: {
        auto* save = static_cast<OnlineSave*>(record.get());
        save->m_placeholder = save->m_name == OnlineSave::kPlaceholderName;
        // A save outside any list (one inside a detail document) belongs to
        // no folder: it is dropped here and never queued for a detail fetch.
        if (m_readsList) {
            m_build.detailQueue.push_back(save);
            m_build.children.push_back(std::move(record));
        }
        break;
    }
    case kOnlineKindFile:
        if (m_readsDetail) {
            m_build.file.reset(static_cast<OnlineFile*>(record.release()));
        }
        break;
    default:
        break;
    }
}

} // namespace tolvar
