#pragma once

#include <optional>
#include <string>

namespace tolvar {

struct TreeItem; // the Online Tree's node; records only remember its handle

enum : int
{
    kOnlineKindFolder = 1,
    kOnlineKindSave = 2,
    kOnlineKindFile = 3
};

// A record of the online database: a folder, a save or a save's file.
class OnlineRecord
{
public:
    explicit OnlineRecord(int kind) : m_kind(kind) {}
    virtual ~OnlineRecord() = default;
    OnlineRecord(const OnlineRecord&) = delete;
    OnlineRecord& operator=(const OnlineRecord&) = delete;

    std::string m_name;
    std::string m_description;
    std::optional<std::string> m_url; // absent until a document gave one
    int m_kind;
    TreeItem* m_itemId = nullptr;
};

} // namespace tolvar
