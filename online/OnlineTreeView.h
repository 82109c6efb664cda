#pragma once

namespace tolvar {

class OnlineFolder;
class OnlineSave;

// What the list job needs of the Online Tree. The job calls these only
// through InvokeOnUiThread, so they run on the tree's own thread.
class OnlineTreeView
{
public:
    virtual ~OnlineTreeView() = default;

    // parent is null for a record directly under "Online Database".
    virtual void AddFolderItem(OnlineFolder* folder, OnlineFolder* parent) = 0;
    virtual void AddSaveItem(OnlineSave* save, OnlineFolder* parent) = 0;
    virtual void SetRedraw(bool redraw) = 0;
    virtual void EnableWindow(bool enable) = 0;
    // Invalidate, erase and update at once.
    virtual void RedrawWindow() = 0;
    virtual void UpdateScrollBar() = 0;
};

} // namespace tolvar
