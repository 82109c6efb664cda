#pragma once

#include <cstdint>

namespace tolvar {

// The tree item that shows a record; 0 while it is not shown.
using TreeItemId = std::uintptr_t;

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
    char name[260] = {};
    std::int32_t kind = 0;
    TreeItemId itemId = 0;
    TreeItemId parentId = 0; // the tree item of the entry's location; 0 for locations
};

} // namespace tolvar
