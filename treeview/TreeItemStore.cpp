#include "treeview/TreeItemStore.h"

#include <algorithm>

namespace tolvar {

namespace {

// A removed item keeps its memory until Purge but has no owner any more.
bool IsRemoved(const TreeItem* item)
{
    return item->owner == nullptr;
}

} // namespace

TreeItemStore::TreeItemStore()
{
    m_root.expanded = true;
    m_root.owner = &m_root;
}

bool TreeItemStore::IsValid(const TreeItem* item) const
{
    return item != nullptr && item != &m_root && m_owned.count(item) != 0;
}

TreeItem* TreeItemStore::Insert(const std::string& label, int image, int selectedImage,
                                TreeItem* parent, TreeItem* insertAfter)
{
    if (parent == nullptr) {
        parent = &m_root;
    } else if (parent != &m_root && !IsValid(parent)) {
        // Linking a record of ours under another tree's (or a freed) item
        // would corrupt both trees.
        return nullptr;
    }
    auto owned = std::make_unique<TreeItem>();
    TreeItem* item = owned.get();
    item->label = label;
    item->image = image;
    item->selectedImage = selectedImage;
    item->owner = &m_root;
    item->parent = parent;
    m_owned.emplace(item, std::move(owned));
    m_all.push_back(item);

    TreeItem* previous = parent->lastChild; // the sibling it goes after; null: first
    if (insertAfter != nullptr && insertAfter != parent->lastChild) {
        for (TreeItem* c = parent->firstChild; c != nullptr; c = c->nextSibling) {
            if (c == insertAfter) {
                previous = c;
                break;
            }
        }
    }
    item->previousSibling = previous;
    item->nextSibling = previous != nullptr ? previous->nextSibling : parent->firstChild;
    if (previous != nullptr) {
        previous->nextSibling = item;
    } else {
        parent->firstChild = item;
    }
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item;
    } else {
        parent->lastChild = item;
    }
    return item;
}

void TreeItemStore::Unlink(TreeItem* item)
{
    TreeItem* parent = item->parent;
    if (item->previousSibling != nullptr) {
        item->previousSibling->nextSibling = item->nextSibling;
    }
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item->previousSibling;
    }
    if (parent != nullptr) {
        if (parent->firstChild == item) {
            parent->firstChild = item->nextSibling;
        }
        if (parent->lastChild == item) {
            parent->lastChild = item->previousSibling;
        }
    }
    item->previousSibling = item->nextSibling = nullptr;
}

// Takes item and its subtree out of the live set; the records wait in
// m_removed until Purge.
void TreeItemStore::Detach(TreeItem* item)
{
    for (TreeItem* child = item->firstChild; child != nullptr;) {
        TreeItem* next = child->nextSibling;
        Detach(child);
        child = next;
    }
    item->firstChild = item->lastChild = nullptr;
    auto it = m_owned.find(item);
    if (it != m_owned.end()) {
        m_removed.push_back(std::move(it->second));
        m_owned.erase(it);
    }
    item->owner = nullptr;
}

void TreeItemStore::Remove(TreeItem* item)
{
    if (!IsValid(item)) {
        return;
    }
    Unlink(item);
    Detach(item);
}

void TreeItemStore::RemoveChildren(TreeItem* parent)
{
    if (parent != &m_root && !IsValid(parent)) {
        return;
    }
    for (TreeItem* child = parent->firstChild; child != nullptr;) {
        TreeItem* next = child->nextSibling;
        child->previousSibling = child->nextSibling = nullptr;
        Detach(child);
        child = next;
    }
    parent->firstChild = parent->lastChild = nullptr;
}

void TreeItemStore::Purge(std::vector<TreeItem*>& rows)
{
    if (m_removed.empty()) {
        return;
    }
    std::erase_if(rows, IsRemoved);
    std::erase_if(m_all, IsRemoved);
    m_removed.clear();
}

int TreeItemStore::NumberRows()
{
    for (TreeItem* item : m_all) {
        item->onScreen = false;
        item->shown = false;
        item->row = -1;
        item->y = 0;
        item->depth = 0;
    }
    return m_root.firstChild != nullptr ? NumberChildren(0, &m_root, true, 0) : 0;
}

int TreeItemStore::NumberChildren(int nextRow, TreeItem* parent, bool visible, int depth)
{
    const bool visibleHere = visible && parent->expanded;
    for (TreeItem* child = parent->firstChild; child != nullptr; child = child->nextSibling) {
        child->onScreen = false;
        if (visibleHere) {
            child->row = nextRow++;
            child->shown = true;
        } else {
            child->row = -1;
            child->shown = false;
        }
        child->depth = depth;
        nextRow = NumberChildren(nextRow, child, visibleHere, depth + 1);
    }
    return nextRow;
}

} // namespace tolvar
