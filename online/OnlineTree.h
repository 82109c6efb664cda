#pragma once

#include "online/DownloadJob.h"
#include "online/OnlineTreeView.h"
#include "platform/base/MessageTarget.h"
#include "treeview/FileTree.h"

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tolvar {

class OnlineFolder;
class OnlineListJob;
class OnlineRecord;
class OnlineSave;

// The right-hand tree of the main window: the online database under one
// top-level item, "Online Database". A folder is read from the server the
// first time it opens and again on its Refresh command; a save dragged onto
// a location of the Local Tree is downloaded there; a local save dropped
// here is handed to the main window for upload.
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

    OnlineFolder* CreateRoot();
    void AddFolderItem(OnlineFolder* folder, OnlineFolder* parent);
    void AddSaveItem(OnlineSave* save, OnlineFolder* parent);
    void OnMenuCommand(unsigned command, OnlineRecord* record);
    void RefreshCommunity();
    // `device` is the one the destination was listed with (0: not checked).
    void StartDownload(const char* destinationFolder, std::uint64_t device = 0);
    // The window closes: its jobs stop (nothing more is shown or sent), and
    // WaitForJobs serves them until they have.
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
    void BeginDrag() override;
    bool CanBeginDrag(gfx::Point point) override;
    bool OnDrop(ui::Window* window, ui::DataObject* data, ui::DropEffect effect,
                gfx::Point point) override;
    void OnDragLeave(ui::Window* window) override;
    ui::DropEffect OnDragOver(ui::Window* window, ui::DataObject* data, unsigned keyState,
                              gfx::Point point) override;
    ui::DropEffect OnDragEnter(ui::Window* window, ui::DataObject* data, unsigned keyState,
                               gfx::Point point) override;
    void OnDragHeldForPaste() override;

    // State the main window and tests read.
    OnlineFolder* GetRoot() const { return m_root.get(); }
    OnlineFolder* GetCommunity() const { return m_community; }
    OnlineRecord* FindRecord(TreeItem* item) const;
    TreeItem* GetRootFolderItem() const { return m_rootItem; }
    const std::string& GetDragUrl() const { return m_dragUrl; }
    int GetDragSize() const { return m_dragSize; }
    bool IsListing() const;
    bool IsDownloading() const { return m_downloadJob.IsRunning(); }
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
    TreeItem* m_itemToDrag = nullptr;
    TreeItem* m_rootItem = nullptr;
    unsigned m_localFileFormat = 0;
    unsigned m_onlineFileFormat = 0;
    std::unordered_map<TreeItem*, OnlineRecord*> m_records; // owns nothing
    std::vector<TreeItem*> m_saveItems;
    std::string m_dragUrl;
    int m_dragSize = 0;
    OnlineSave* m_draggedSave = nullptr;
    OnlineSave* m_pendingDragSave = nullptr;
    std::unique_ptr<OnlineFolder> m_root;
    OnlineFolder* m_community = nullptr;
    std::string m_downloadUrl;
    int m_downloadSize = 0;
    char m_downloadFolder[260] = {};

    MainWindowTarget m_mainWindow;
    ListView m_listView{*this};
    // Jobs go first when the tree goes, while everything they use still lives.
    std::unique_ptr<OnlineListJob> m_listJob;
    DownloadJob m_downloadJob;
};

} // namespace tolvar
