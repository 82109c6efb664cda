#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"
#include "storage/CodeListJob.h"
#include "storage/FormatJob.h"
#include "storage/LocalTreeHost.h"
#include "storage/LocationList.h"
#include "storage/RemoveDriveJob.h"
#include "treeview/FileTree.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvar {

namespace shell {
class DriveFormatter;
class DriveRemover;
} // namespace shell

// Image indices of the Local Tree's items in the tree's image list.
enum : int
{
    kLocalImageSave = 4,
    kLocalImageDrive = 5,
    kLocalImageDatabase = 6,
    kLocalImageRoot = 7,
    kLocalImageTrash = 9,
};

// Menu resources and commands of the Local Tree.
enum : unsigned
{
    kMenuEntry = 145,
    kMenuLocation = 163,
    kCmdDeleteFile = 0x8004,
    kCmdRefresh = 0x800C,
    kCmdDownloadCodeList = 0x800D,
    kCmdDownloadCodeListAll = 0x800F,
    kCmdFormatDrive = 0x8010,
    kCmdSafelyRemove = 0x8011,
};

// The left-hand tree of the main window: "PC Databases" with one child per
// location and, under each, its code list and saves. It owns the locations,
// follows drives as they come and go, copies, deletes and takes drops, and
// runs the code list job and the drive format on jobs of its own. A save's
// drag carries its path, file name and folder; an online save dropped on a
// location goes to the host to be downloaded.
class CLocalTree : public CFileTree
{
public:
    // Creates "Saves" and "Temp" in the program folder (no trailing
    // backslash). The host is the main window, above this part.
    CLocalTree(CSkinScrollBar* scrollBar, LocalTreeHost* host, const std::string& programFolder);
    ~CLocalTree() override;

    void SetLocalClipboardFormat(unsigned format) { m_localFormat = format; }
    void SetOnlineClipboardFormat(unsigned format) { m_onlineFormat = format; }
    // The formatter of Format Drive; the system's UDisks2 unless a test sets one.
    void SetDriveFormatter(shell::DriveFormatter* formatter) { m_formatter = formatter; }
    // The remover of Safely Remove; the system's UDisks2 unless a test sets one.
    void SetDriveRemover(shell::DriveRemover* remover) { m_remover = remover; }

    // Clears what a killed run left in Temp, then lists the locations. With
    // entriesLater, the drives are listed without reading their saves,
    // which ListLaterEntries does (the first frame shows them collapsed).
    void FillTree(bool entriesLater = false);
    void ListLaterEntries();
    void ShowLocation(DriveLocation* location, bool insert);
    void OnDriveArrived(char letter);
    void OnDriveRemoved(char letter);
    // Another program (or this one) changed the trash: only its location is listed again.
    void OnTrashChanged();
    void OnMenuCommand(unsigned command, CatalogueItem* record);
    void AddArrivedSave(const char* fileName, const char* folder);
    // What a drag of the item carries: a save or the code list; nullopt for
    // anything else.
    std::optional<LocalSaveDrag> SaveDragOf(TreeItem* item) const;

    LocationList& Locations() { return m_locations; }
    TreeItem* GetRootItemId() const { return m_rootItem; }
    bool IsCodeListJobRunning() const { return m_codeListJob.IsRunning(); }
    bool IsFormatRunning() const { return m_formatJob.IsRunning(); }
    // Blocks until the running jobs have ended, serving their UI-thread work.
    void WaitForJobs();
    // Tells the running jobs to stop, as closing the program does.
    void CancelJobs();

    int GetItemImage(TreeItem* item) override;
    bool ItemHasChildren(TreeItem* item) override;
    bool Expand(TreeItem* item, ExpandCode code) override;
    void ShowContextMenu(gfx::Point point) override;
    std::string GetToolTipText(gfx::Point point) override;
    void BeginDrag(TreeItem* item) override;
    bool CanBeginDrag(gfx::Point point) override;
    bool OnDrop(ui::Window* window, ui::DataObject* data, ui::DropEffect effect,
                gfx::Point point) override;
    void OnDragLeave(ui::Window* window) override;
    ui::DropEffect OnDragOver(ui::Window* window, ui::DataObject* data, unsigned keyState,
                              gfx::Point point) override;
    ui::DropEffect OnDragEnter(ui::Window* window, ui::DataObject* data, unsigned keyState,
                               gfx::Point point) override;
    void OnKeyUp(unsigned key, unsigned repeatCount, unsigned flags) override;

private:
    // Sends application messages to the main window by its handle.
    class MainWindowTarget final : public MessageTarget
    {
    public:
        LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override;
        WindowHandle m_handle = kNoWindow;
    };

    void RefreshLocation(CatalogueItem* record);
    // Reads the location's folder again and shows what it holds.
    void ListEntries(DriveLocation* location);
    void StartCodeListJob(bool allDrives, std::vector<CodeListJob::Destination> destinations);
    void FormatDrive(CatalogueItem* record);
    void SafelyRemove(CatalogueItem* record);
    bool IsBeingWritten(const DriveLocation* location) const;
    bool IsShownLocation(const DriveLocation* location) const;
    bool InTrash(const CatalogueItem* record) const;

    LocalTreeHost* m_host;
    std::string m_programFolder;
    bool m_dropAccepted = false;
    TreeItem* m_rootItem = nullptr;
    unsigned m_localFormat = 0;
    unsigned m_onlineFormat = 0;
    MainWindowTarget m_mainTarget;
    LocationList m_locations;
    shell::DriveFormatter* m_formatter = nullptr;
    shell::DriveRemover* m_remover = nullptr;
    std::vector<std::string> m_codeListFolders; // where the code list job writes
    // Last, so they end before anything they reach is destroyed.
    FormatJob m_formatJob;
    RemoveDriveJob m_removeJob;
    CodeListJob m_codeListJob;
};

} // namespace tolvar
