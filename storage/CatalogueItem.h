#pragma once

#include <cstdint>
#include <string>

namespace tolvar {

// The tree item that shows a record (null while it is not shown); records
// only hold it, the tree owns it.
struct TreeItem;

enum ItemKind : std::int32_t
{
    kItemLocation = 1,
    kItemSave = 2,
    kItemCodeList = 3,
};

// Base of every catalogue record. Records are deleted through this base, each
// as its own kind.
class CatalogueItem
{
public:
    CatalogueItem() = default;
    virtual ~CatalogueItem() = default;
    CatalogueItem(const CatalogueItem&) = delete;
    CatalogueItem& operator=(const CatalogueItem&) = delete;

    // A save or the code list: the file name in its location's folder. A
    // location: its folder path, ending in a backslash.
    std::string m_name;
    std::int32_t m_kind = 0;
    TreeItem* m_itemId = nullptr;
    TreeItem* m_parentId = nullptr; // the tree item of the entry's location; null for locations
};

} // namespace tolvar
