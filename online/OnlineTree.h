#pragma once

#include "online/OnlineTreeHost.h"
#include "online/OnlineTreeView.h"
#include "platform/base/MessageTarget.h"
#include "treeview/FileTree.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace tolvar {

class OnlineFolder;
class OnlineListJob;
class OnlineRecord;
class OnlineSave;

// The right-hand tree of the main window: the online database under one
// top-level item, "Online Database". A folder is read from the server the
// first time it opens and again on its Refresh command. A save's drag
// carries its address, size and name to the Local Tree; a local save
// dropped here is handed to the host for upload.
//
// The tree owns the root folder, which owns every other record; records are
// found from their items through a lookup that owns nothing.
class COnlineTree : public CFileTree
{
public:
    static constexpr unsigned kRefreshCommand = 0x8006;
    static constexpr int kMenuId = 146;

    COnlineTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId, int disabledImagesId);
    ~COnlineTree() override;

    // The ids of "ZyferLocalFile" and "ZyferOnlineFile", from the main window.
    void SetClipboardFormats(unsigned localFileFormat, unsigned onlineFileFormat);
    // Takes the local saves dropped here; none are taken without one.
    void SetHost(OnlineTreeHost* host) { m_host = host; }

    OnlineFolder* CreateRoot();
    void AddFolderItem(OnlineFolder* folder, OnlineFolder* parent);
    void AddSaveItem(OnlineSave* save, OnlineFolder* parent);
    void OnMenuCommand(unsigned command, OnlineRecord* record);
    void RefreshCommunity();
    // What a drag of the item carries: a save that names its file; nullopt
    // for anything else.
    std::optional<OnlineSaveDrag> SaveDragOf(TreeItem* item) const;
    // The window closes: the list job stops (nothing more is shown or sent),
    // and WaitForJobs serves it until it has.
    void CancelJobs();
    void WaitForJobs();

    bool OnEndLabelEdit(TreeItem* item, std::string newText) override;
    bool Expand(TreeItem* item, ExpandCode code) override;
    void GetItemColors(TreeItem* item, gfx::Color* normal, gfx::Color* disabled,
                       gfx::Color* selected) override;
    bool ItemHasChildren(TreeItem* item) override;
    int GetItemImage(TreeItem* item) override;
    void ShowContextMenu(gfx::Point point) override;
    std::string GetToolTipText(gfx::Point point) override;
    void BeginDrag(TreeItem* item) override;
    bool CanBeginDrag(gfx::Point point) override;
    bool OnDrop(ui::Window* window, ui::DataObject* data, ui::DropEffect effect,
                gfx::Point point) override;
    ui::DropEffect OnDragOver(ui::Window* window, ui::DataObject* data, unsigned keyState,
                              gfx::Point point) override;
    ui::DropEffect OnDragEnter(ui::Window* window, ui::DataObject* data, unsigned keyState,
                               gfx::Point point) override;

    // State the main window and tests read.
    OnlineFolder* GetRoot() const { return m_root.get(); }
    OnlineFolder* GetCommunity() const { return m_community; }
    OnlineRecord* FindRecord(TreeItem* item) const;
    TreeItem* GetRootFolderItem() const { return m_rootItem; }
    bool IsListing() const;
    OnlineListJob& GetListJob() { return *m_listJob; }

protected:
    bool OnCreate() override;

private:
    // The tree as the list job sees it.
    class ListView final : public OnlineTreeView
    {
    public:
        explicit ListView(COnlineTree& tree) : m_tree(tree) {}
        void AddFolderItem(OnlineFolder* folder, OnlineFolder* parent) override;
        void AddSaveItem(OnlineSave* save, OnlineFolder* parent) override;
        void SetRedraw(bool redraw) override;
        void EnableWindow(bool enable) override;
        void RedrawWindow() override;
        void UpdateScrollBar() override;

    private:
        COnlineTree& m_tree;
    };

    // Sends to the main window by handle, from whichever thread.
    class MainWindowTarget final : public MessageTarget
    {
    public:
        LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override;
        std::atomic<WindowHandle> m_handle{kNoWindow};
    };

    TreeItem* ParentItemOf(OnlineFolder* parent) const;
    void RemoveContents(OnlineFolder* folder);
    void Forget(OnlineRecord* record);

    bool m_dropAccepted = false;
    TreeItem* m_rootItem = nullptr;
    unsigned m_localFileFormat = 0;
    unsigned m_onlineFileFormat = 0;
    OnlineTreeHost* m_host = nullptr;
    // The tree's one way from an item to its record; owns nothing.
    std::unordered_map<TreeItem*, OnlineRecord*> m_records;
    std::unique_ptr<OnlineFolder> m_root;
    OnlineFolder* m_community = nullptr;

    MainWindowTarget m_mainWindow;
    ListView m_listView{*this};
    // The job goes first when the tree goes, while everything it uses still lives.
    std::unique_ptr<OnlineListJob> m_listJob;
};

} // namespace tolvar
