#pragma once

#include "treeview/TreeItem.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tolvar {

// The items of one tree: it owns them, links them under its root item,
// numbers the rows that are shown, and tells a handle of its own from any
// other pointer without reading through it.
//
// Removing a subtree unlinks it and makes its handles invalid at once, but
// the records stay allocated until Purge, so arrays that still list them
// (the view's on-screen rows) can be cleaned in one pass first.
class TreeItemStore
{
public:
    TreeItemStore();
    TreeItemStore(const TreeItemStore&) = delete;
    TreeItemStore& operator=(const TreeItemStore&) = delete;

    TreeItem* Root() { return &m_root; }
    const TreeItem* Root() const { return &m_root; }

    // Not null, not the root, and a live item of this store.
    bool IsValid(const TreeItem* item) const;

    // A new item under parent (null: the root) after insertAfter (null, or
    // an item not among the children: last). Null when parent is not an item of this store.
    TreeItem* Insert(const std::string& label, int image, int selectedImage, TreeItem* parent,
                     TreeItem* insertAfter);
    // Unlinks item with its subtree, or only the children of parent.
    void Remove(TreeItem* item);
    void RemoveChildren(TreeItem* parent);
    // Frees what was removed, after dropping it from rows.
    void Purge(std::vector<TreeItem*>& rows);

    // Every live item in insertion order.
    const std::vector<TreeItem*>& All() const { return m_all; }

    // Sets row, shown and depth of every item; returns the number of rows.
    int NumberRows();

private:
    int NumberChildren(int nextRow, TreeItem* parent, bool visible, int depth);
    void Unlink(TreeItem* item);
    void Detach(TreeItem* item);

    TreeItem m_root;
    std::vector<TreeItem*> m_all;
    std::unordered_map<const TreeItem*, std::unique_ptr<TreeItem>> m_owned;
    std::vector<std::unique_ptr<TreeItem>> m_removed; // until Purge
};

} // namespace tolvar
