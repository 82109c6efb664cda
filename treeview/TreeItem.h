#pragma once

#include <cstdint>
#include <string>

namespace tolvar {

// One node of a CSkinTree, allocated by InsertItem and owned by its tree. A
// handle to an item is a pointer to it; the tree checks every handle it is
// given against the items it owns before it reads one.
struct TreeItem
{
    TreeItem* parent = nullptr; // the tree's root item for a top-level item
    TreeItem* previousSibling = nullptr;
    TreeItem* nextSibling = nullptr;
    TreeItem* firstChild = nullptr;
    const TreeItem* owner = nullptr; // the root item of the tree holding it
    bool expanded = false;
    std::string label;
    int image = -1;
    int selectedImage = -1;
    int row = -1;  // among the shown rows; -1 when not shown
    int y = 0;     // top of the row in client pixels, set when it is painted
    int depth = 0; // 0 for top-level items
    bool onScreen = false;
    bool shown = false;

    // Kept so appending a child does not walk the siblings.
    TreeItem* lastChild = nullptr;
};

// What CSkinTree::Expand does to an item. TVE_COLLAPSERESET collapses it and
// deletes its children.
enum ExpandCode : unsigned
{
    TVE_COLLAPSE = 1,
    TVE_EXPAND = 2,
    TVE_TOGGLE = 3,
    TVE_COLLAPSERESET = 0x8000,
};

} // namespace tolvar
