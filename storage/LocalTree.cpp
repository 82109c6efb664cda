#include "storage/LocalTree.h"

#include "messages/AppMessages.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/FindFile.h"
#include "platform/fs/Path.h"
#include "platform/shell/DriveFormatter.h"
#include "platform/shell/DriveRemover.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowSystem.h"
#include "resources/MenuResources.h"
#include "storage/SaveEntry.h"
#include "storage/SaveFile.h"
#include "storage/TrashLocation.h"
#include "treeview/DragPayload.h"
#include "widgets/SkinScrollBar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tolvar {

namespace {

bool IsEntry(const CatalogueItem* record)
{
    return record != nullptr && (record->m_kind == kItemSave || record->m_kind == kItemCodeList);
}

DriveLocation* AsLocation(CatalogueItem* record)
{
    return record != nullptr && record->m_kind == kItemLocation
               ? static_cast<DriveLocation*>(record)
               : nullptr;
}

std::string Format(const char* format, const char* text, double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, text, value);
    return buffer;
}

} // namespace

LResult CLocalTree::MainWindowTarget::SendAppMessage(unsigned message, WParam wParam, LParam lParam)
{
    return ui::SendMessage(m_handle, message, wParam, lParam);
}

CLocalTree::CLocalTree(CSkinScrollBar* scrollBar, LocalTreeHost* host,
                       const std::string& programFolder)
    : CFileTree(scrollBar, 164, 144, 143), m_host(host), m_programFolder(programFolder)
{
    m_locations.SetProgramFolder(programFolder);
    fs::CreateDirectory((programFolder + "\\Saves").c_str());
    fs::CreateDirectory((programFolder + "\\Temp").c_str());
}

CLocalTree::~CLocalTree()
{
    // A job still running is stopped here, while the tree and its records it
    // may reach are whole; its file is replaced whole or not at all.
    CancelJobs();
    WaitForJobs();
}

void CLocalTree::CancelJobs()
{
    m_codeListJob.Cancel();
    m_formatJob.Cancel();
    m_removeJob.Cancel();
}

void CLocalTree::WaitForJobs()
{
    m_codeListJob.Wait();
    m_formatJob.Wait();
    m_removeJob.Wait();
}

void CLocalTree::FillTree(bool entriesLater)
{
    // Temp holds only the upload's copies of saves; a killed run may have
    // left some, with the file layer's own temporaries.
    RemoveLeftTemporaries(m_programFolder + "\\Temp\\", "*.tvd");
    m_mainTarget.m_handle = MainWindowHandle();
    m_locations.SetMainWindow(&m_mainTarget);
    m_locations.DiscoverDrives(entriesLater);
    m_locations.AddTrashLocation(shell::Trash::Home(), entriesLater);
    // Redraw off while inserting: each insert would renumber and repaint.
    SetRedraw(false);
    m_rootItem = InsertItemShort("PC Databases", nullptr, nullptr);
    for (std::size_t i = 0; i < m_locations.LocationCount(); ++i) {
        DriveLocation* location = m_locations.LocationAt(i);
        m_locations.Show(location, InsertItem(location->m_label, -1, -1, m_rootItem, nullptr));
        location->m_parentId = nullptr;
        for (auto& entry : location->m_entries) {
            m_locations.Show(entry.get(), InsertItem(static_cast<SaveEntry&>(*entry).m_displayText,
                                                     -1, -1, location->m_itemId, nullptr));
            entry->m_parentId = location->m_itemId;
        }
    }
    Expand(m_rootItem, TVE_EXPAND);
    SetRedraw(true);
}

void CLocalTree::ListLaterEntries()
{
    for (std::size_t i = 0; i < m_locations.LocationCount(); ++i) {
        DriveLocation* location = m_locations.LocationAt(i);
        if (location->m_entriesLater) {
            ListEntries(location);
        }
    }
}

bool CLocalTree::ItemHasChildren(TreeItem* item)
{
    // A drive whose saves are not read yet shows its box as it will.
    const DriveLocation* location = m_locations.LocationById(item);
    return CFileTree::ItemHasChildren(item) ||
           (location != nullptr && location->m_entriesLater && location->m_mayHoldEntries);
}

bool CLocalTree::Expand(TreeItem* item, ExpandCode code)
{
    // Opened before its saves were read: they are read now.
    DriveLocation* location = m_locations.LocationById(item);
    if (location != nullptr && location->m_entriesLater && code != TVE_COLLAPSE) {
        ListEntries(location);
    }
    return CFileTree::Expand(item, code);
}

void CLocalTree::ShowLocation(DriveLocation* location, bool insert)
{
    if (location == nullptr) {
        return;
    }
    if (insert) {
        // A drive arriving goes before the trash, which stays last.
        TreeItem* after = nullptr;
        if (const TrashLocation* trash = m_locations.Trash();
            trash != nullptr && location != trash && trash->m_itemId != nullptr &&
            IsValidItem(trash->m_itemId)) {
            after = trash->m_itemId->previousSibling;
        }
        m_locations.Show(location, InsertItem(location->m_label, -1, -1, m_rootItem, after));
        location->m_parentId = nullptr;
    }
    if (location->m_itemId == nullptr) {
        return;
    }
    SetRedraw(false);
    DeleteChildItems(location->m_itemId);
    for (auto& entry : location->m_entries) {
        m_locations.Show(entry.get(), InsertItem(static_cast<SaveEntry&>(*entry).m_displayText, -1,
                                                 -1, location->m_itemId, nullptr));
        entry->m_parentId = location->m_itemId;
    }
    SetRedraw(true);
    RedrawWindow();
}

void CLocalTree::OnDriveArrived(char letter)
{
    if (DriveLocation* location = m_locations.AddDriveLocation(letter)) {
        // A letter already listed is rescanned, not listed twice.
        ShowLocation(location, !IsShownLocation(location));
    }
}

void CLocalTree::OnDriveRemoved(char letter)
{
    DriveLocation* location = m_locations.FindLocationByLetter(letter);
    if (location == nullptr) {
        return;
    }
    if (location->m_itemId != nullptr) {
        DeleteItem(location->m_itemId);
    }
    m_locations.RemoveLocation(location);
}

void CLocalTree::OnTrashChanged()
{
    TrashLocation* trash = m_locations.Trash();
    if (trash == nullptr) {
        return;
    }
    // No EnableWindow here: a job may hold the tree disabled meanwhile. A
    // save copied (Ctrl+C) from the trash carries its name in the trash, so
    // the paste finds it again among the new rows.
    m_locations.Rescan(trash);
    ShowLocation(trash, false);
}

bool CLocalTree::InTrash(const CatalogueItem* record) const
{
    const TrashLocation* trash = m_locations.Trash();
    return record != nullptr && trash != nullptr &&
           (record == trash || (IsEntry(record) && record->m_parentId == trash->m_itemId));
}

bool CLocalTree::IsShownLocation(const DriveLocation* location) const
{
    return location->m_itemId != nullptr && IsValidItem(location->m_itemId);
}

int CLocalTree::GetItemImage(TreeItem* item)
{
    if (item == nullptr) {
        return -1;
    }
    if (item->depth == 0) {
        return kLocalImageRoot;
    }
    CatalogueItem* record = m_locations.FindItemById(item);
    if (DriveLocation* location = AsLocation(record)) {
        if (InTrash(location)) {
            return kLocalImageTrash;
        }
        return location->m_removable ? kLocalImageDrive : kLocalImageDatabase;
    }
    return IsEntry(record) ? kLocalImageSave : -1;
}

std::string CLocalTree::GetToolTipText(gfx::Point point)
{
    TreeItem* item = HitTest(point.x, point.y);
    CatalogueItem* record = item != nullptr ? m_locations.FindItemById(item) : nullptr;
    if (record == nullptr) {
        return {};
    }
    if (DriveLocation* location = AsLocation(record)) {
        return m_locations.ToolTipText(location);
    }
    if (InTrash(record)) {
        return m_locations.Trash()->ToolTipText(*record);
    }
    DriveLocation* location = AsLocation(m_locations.FindItemById(record->m_parentId));
    std::string path;
    fs::File file;
    if (!IsEntry(record) || location == nullptr ||
        !fs::JoinFileName(location->m_name, record->m_name.c_str(), path) ||
        !file.Open(path.c_str(), fs::OpenMode::Read)) {
        return {};
    }
    const float kilobytes = static_cast<float>(file.Length()) * (1.0f / 1024.0f);
    return Format("File: %s \r\nSize: %.2f KB", record->m_name.c_str(), kilobytes);
}

void CLocalTree::ShowContextMenu(gfx::Point point)
{
    const gfx::Point screen = ClientToScreen(point);
    TreeItem* item = HitTest(point.x, point.y);
    CatalogueItem* record = item != nullptr ? m_locations.FindItemById(item) : nullptr;
    if (record == nullptr) {
        return;
    }
    const MenuResource* resource =
        FindMenuResource(record->m_kind == kItemLocation ? kMenuLocation : kMenuEntry);
    if (resource == nullptr) {
        return;
    }
    ui::PopupMenu menu;
    // The trash can only be listed again: it is no drive and takes no code list.
    const bool trash = record == m_locations.Trash();
    for (const MenuItemResource& entry : resource->items) {
        if (trash && entry.command != kCmdRefresh) {
            continue;
        }
        menu.AppendMenu(entry.command == 0 ? ui::MF_SEPARATOR : ui::MF_STRING, entry.command,
                        entry.text);
    }
    DriveLocation* location = AsLocation(record);
    if (location != nullptr && !location->m_removable) {
        menu.EnableMenuItem(kCmdFormatDrive, ui::MF_GRAYED);
        menu.EnableMenuItem(kCmdSafelyRemove, ui::MF_GRAYED);
    }
    const LocationList::RecordMark mark = m_locations.Mark(record);
    const unsigned command =
        menu.TrackPopupMenu(ui::TPM_RIGHTBUTTON | ui::TPM_RETURNCMD, screen, this);
    // The menu's loop may have served a drive removal: look the record up again.
    if (command != 0 && (record = m_locations.Recall(mark)) != nullptr) {
        OnMenuCommand(command, record);
    }
}

void CLocalTree::OnMenuCommand(unsigned command, CatalogueItem* record)
{
    switch (command) {
    case kCmdDeleteFile: {
        const LocationList::RecordMark mark = m_locations.Mark(record);
        EnableWindow(false);
        const int answer = AfxMessageBox(
            "This action will delete the file. \r\nDo you want to continue?", MB_YESNO);
        // The box's loop may have served a drive removal that freed the record.
        record = m_locations.Recall(mark);
        if (answer == IDNO || !IsEntry(record)) {
            EnableWindow(true);
            return;
        }
        ShowLocation(m_locations.DeleteEntry(record), false);
        EnableWindow(true);
        return;
    }
    case kCmdRefresh:
        RefreshLocation(record);
        return;
    case kCmdDownloadCodeList:
    case kCmdDownloadCodeListAll: {
        // One code list job at a time: a second would write the same files.
        if (m_codeListJob.IsRunning()) {
            return;
        }
        const LocationList::RecordMark mark = m_locations.Mark(record);
        AfxMessageBox("Depending upon your internet connection, downloading the Code List may "
                      "take a few minutes...");
        record = m_locations.Recall(mark);
        std::vector<CodeListJob::Destination> destinations;
        auto add = [&](const DriveLocation* location) {
            destinations.push_back({location->m_name, location->m_label, location->m_device});
        };
        if (command == kCmdDownloadCodeListAll) {
            for (std::size_t i = 0; i < m_locations.LocationCount(); ++i) {
                if (!InTrash(m_locations.LocationAt(i))) {
                    add(m_locations.LocationAt(i));
                }
            }
        } else if (DriveLocation* location = AsLocation(record);
                   location != nullptr && !InTrash(location)) {
            add(location);
        } else {
            return;
        }
        StartCodeListJob(command == kCmdDownloadCodeListAll, std::move(destinations));
        return;
    }
    case kCmdFormatDrive:
        FormatDrive(record);
        return;
    case kCmdSafelyRemove:
        SafelyRemove(record);
        return;
    default:
        AfxMessageBox("An unknown menu command was received");
        return;
    }
}

void CLocalTree::RefreshLocation(CatalogueItem* record)
{
    DriveLocation* location = AsLocation(record);
    if (location == nullptr) {
        return;
    }
    EnableWindow(false);
    ListEntries(location);
    EnableWindow(true);
}

void CLocalTree::ListEntries(DriveLocation* location)
{
    m_locations.Rescan(location);
    ShowLocation(location, false);
}

// Format: the location's menu (UI thread) asks, checks that the volume at
// the letter is still the one listed, and starts the format job; the job's
// thread calls the disk service (storage/FormatJob.cpp) with the left bar
// turning and shows a failure; the done step below runs on the UI thread,
// tells an away user, and rescans the location.
void CLocalTree::FormatDrive(CatalogueItem* record)
{
    DriveLocation* location = AsLocation(record);
    if (location == nullptr || InTrash(location) || m_formatJob.IsRunning() ||
        m_removeJob.IsRunning()) {
        return;
    }
    // The volume the user sees listed, before the question: only it is formatted.
    const LocationList::RecordMark mark = m_locations.Mark(location);
    const std::optional<fs::VolumeInfo> chosen = m_locations.ListedVolume(location);
    if (AfxMessageBox("This will format the drive and erase all of its contents! \r\nDo you want "
                      "to continue?",
                      MB_YESNO) == IDNO) {
        return;
    }
    // The box's loop may have served a removal, or a new drive at the letter.
    location = AsLocation(m_locations.Recall(mark));
    if (location == nullptr) {
        return;
    }
    if (!location->m_removable) {
        AfxMessageBox(shell::FormatResultText(shell::FormatResult::NotRemovable, {}));
        RefreshLocation(location);
        return;
    }
    const std::optional<fs::VolumeInfo> now = m_locations.ListedVolume(location);
    if (!chosen || !now || now->mountId != chosen->mountId || now->device != chosen->device ||
        now->medium != chosen->medium) {
        AfxMessageBox(shell::FormatResultText(shell::FormatResult::DeviceChanged, {}));
        RefreshLocation(location);
        return;
    }
    // The rescan follows on the UI thread, of the location that then shows this item.
    shell::DriveFormatter& formatter =
        m_formatter != nullptr ? *m_formatter : shell::SystemDriveFormatter();
    EnableWindow(false);
    m_formatJob.Start(m_mainTarget, formatter,
                      {now->mountPoint, now->mountId, now->device, now->medium},
                      [this, mark](bool formatted) {
                          EnableWindow(true);
                          if (formatted && m_host != nullptr) {
                              m_host->NoticeIfAway("The drive has been formatted.");
                          }
                          RefreshLocation(m_locations.Recall(mark));
                      });
}

void CLocalTree::SafelyRemove(CatalogueItem* record)
{
    // The record was looked up again after the menu: it is the volume the
    // user chose only while its letter still holds the volume it was listed with.
    DriveLocation* location = AsLocation(record);
    if (location == nullptr || InTrash(location) || m_removeJob.IsRunning() ||
        m_formatJob.IsRunning()) {
        return;
    }
    if (!location->m_removable) {
        AfxMessageBox(shell::RemoveResultText(shell::RemoveResult::NotRemovable, {}));
        return;
    }
    if (IsBeingWritten(location)) {
        AfxMessageBox("The drive is still being written to; it was not removed. Try again when "
                      "the download or the code list has ended.");
        return;
    }
    const std::optional<fs::VolumeInfo> volume = m_locations.ListedVolume(location);
    if (!volume) {
        AfxMessageBox(shell::RemoveResultText(shell::RemoveResult::DeviceChanged, {}));
        RefreshLocation(location);
        return;
    }
    shell::DriveRemover& remover = m_remover != nullptr ? *m_remover : shell::SystemDriveRemover();
    EnableWindow(false);
    m_removeJob.Start(m_mainTarget, remover,
                      {volume->mountPoint, volume->mountId, volume->device, volume->medium},
                      [this](bool) { EnableWindow(true); });
}

bool CLocalTree::IsBeingWritten(const DriveLocation* location) const
{
    const std::string folder = location->m_name;
    return (m_codeListJob.IsRunning() &&
            std::find(m_codeListFolders.begin(), m_codeListFolders.end(), folder) !=
                m_codeListFolders.end()) ||
           (m_host != nullptr && m_host->IsDownloadingTo(folder));
}

void CLocalTree::StartCodeListJob(bool allDrives,
                                  std::vector<CodeListJob::Destination> destinations)
{
    m_codeListFolders.clear();
    for (const CodeListJob::Destination& destination : destinations) {
        m_codeListFolders.push_back(destination.folder);
    }
    CodeListJob::TreeSide side;
    side.enable = [this](bool enable) { EnableWindow(enable); };
    side.rescan = [this] {
        for (std::size_t i = 0; i < m_locations.LocationCount(); ++i) {
            RefreshLocation(m_locations.LocationAt(i));
        }
    };
    m_codeListJob.Start(m_mainTarget, m_host, allDrives, std::move(destinations), std::move(side));
}

void CLocalTree::AddArrivedSave(const char* fileName, const char* folder)
{
    if (fileName == nullptr || folder == nullptr) {
        return;
    }
    auto entry = std::make_unique<SaveEntry>();
    entry->m_name = fileName;
    std::string fullPath;
    if (!fs::JoinFileName(folder, entry->m_name.c_str(), fullPath) ||
        !ReadSaveInfo(fullPath.c_str(), *entry)) {
        AfxMessageBox("The save is not a valid PS2 save");
        return;
    }
    DriveLocation* location = m_locations.FindLocationByFolder(folder);
    if (location == nullptr) {
        AfxMessageBox("A error occured copying the save to the destination directory");
        return;
    }
    // A file that replaced a listed one keeps its entry, with the new file's texts.
    for (auto& listed : location->m_entries) {
        if (listed->m_kind == kItemSave && listed->m_name == entry->m_name) {
            auto& save = static_cast<SaveEntry&>(*listed);
            save.m_displayText = entry->m_displayText;
            save.m_saveName = entry->m_saveName;
            entry.reset();
            break;
        }
    }
    if (entry && !AddEntry(location, std::move(entry))) {
        return;
    }
    SortCatalogue(location);
    ShowLocation(location, false);
}

std::optional<LocalSaveDrag> CLocalTree::SaveDragOf(TreeItem* item) const
{
    CatalogueItem* record = item != nullptr ? m_locations.FindItemById(item) : nullptr;
    DriveLocation* location =
        IsEntry(record) ? AsLocation(m_locations.FindItemById(record->m_parentId)) : nullptr;
    if (location == nullptr) {
        return std::nullopt;
    }
    LocalSaveDrag save{{}, record->m_name, location->m_name, record->m_kind == kItemCodeList};
    if (!fs::JoinFileName(location->m_name, record->m_name.c_str(), save.path)) {
        save.path.clear();
    }
    return save;
}

bool CLocalTree::CanBeginDrag(gfx::Point point)
{
    return SaveDragOf(HitTest(point.x, point.y)).has_value();
}

void CLocalTree::BeginDrag(TreeItem* item)
{
    const std::optional<LocalSaveDrag> save = SaveDragOf(item);
    if (!save) {
        return;
    }
    // The file list lets the save land on the desktop as a file; the PC
    // database's relative folder is made absolute from the program-style
    // working directory.
    std::optional<std::string> file;
    if (fs::IsPlainFileName(save->file.c_str())) {
        std::error_code error;
        const std::string cwd = std::filesystem::current_path(error).string();
        std::string currentDirectory;
        for (char c : cwd) {
            currentDirectory += c == '/' ? '\\' : c;
        }
        file = MakeDropPath(save->folder, save->file, currentDirectory);
    }
    RunDrag(m_localFormat, MakeLocalSaveBlock(MainWindowHandle(), *save), std::move(file));
}

ui::DropEffect CLocalTree::OnDragEnter(ui::Window*, ui::DataObject* data, unsigned, gfx::Point)
{
    m_dropAccepted = false;
    if (data == nullptr) {
    } else if (data->IsDataAvailable(m_localFormat)) {
        m_dropAccepted = HoldsOwnMainWindow(data, m_localFormat);
    } else if (data->IsDataAvailable(m_onlineFormat)) {
        m_dropAccepted = HoldsOwnMainWindow(data, m_onlineFormat);
    } else if (data->IsDataAvailable(ui::CF_HDROP)) {
        std::optional<ui::GlobalBlock> block = data->GetGlobalData(ui::CF_HDROP);
        m_dropAccepted = block && ui::DragQueryFile(*block, 0xFFFFFFFF, nullptr, 0) == 1;
    }
    return m_dropAccepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
}

ui::DropEffect CLocalTree::OnDragOver(ui::Window*, ui::DataObject*, unsigned, gfx::Point point)
{
    TreeItem* item = HitTest(point.x, point.y);
    const bool overTrash = item != nullptr && InTrash(m_locations.FindItemById(item));
    return m_dropAccepted && !overTrash ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
}

void CLocalTree::OnDragLeave(ui::Window*)
{
    const gfx::Point cursor = ScreenToClient(GetCursorPos());
    const gfx::Rect client = GetClientRect();
    if (cursor.x > client.left && cursor.x < client.right && cursor.y >= client.bottom &&
        GetScrollBar() != nullptr) {
        GetScrollBar()->SetScrollPos(GetScrollBar()->GetScrollPos() + 1, true);
        SendMessage(ui::WM_VSCROLL, 0, 0);
    }
}

// All on the UI thread: a local save is copied between locations here
// (LocationList::CopyEntryToItem asks before replacing and writes beside the
// old file); an online save goes to the host's download
// (app/flows/DownloadFlow.cpp); a file from the desktop is copied in.
bool CLocalTree::OnDrop(ui::Window*, ui::DataObject* data, ui::DropEffect, gfx::Point point)
{
    TreeItem* target = HitTest(point.x, point.y);
    if (target == nullptr || data == nullptr) {
        return false;
    }
    if (std::optional<ui::GlobalBlock> own = data->GetGlobalData(m_localFormat)) {
        // The save is looked up in what the tree holds now: a rescan or a
        // drive pulled during the drag may have taken it away.
        const std::optional<LocalSaveDrag> save = ReadLocalSaveBlock(*own);
        CatalogueItem* record = save ? m_locations.FindEntry(save->folder, save->file) : nullptr;
        if (!IsEntry(record)) {
            return false;
        }
        EnableWindow(false);
        DriveLocation* changed = m_locations.CopyEntryToItem(record, target);
        ShowLocation(changed, false);
        EnableWindow(true);
        return changed != nullptr;
    }
    if (std::optional<ui::GlobalBlock> own = data->GetGlobalData(m_onlineFormat)) {
        const std::optional<OnlineSaveDrag> save = ReadOnlineSaveBlock(*own);
        CatalogueItem* record = m_locations.FindItemById(target);
        DriveLocation* location = AsLocation(record);
        if (location == nullptr && IsEntry(record)) {
            location = AsLocation(m_locations.FindItemById(record->m_parentId));
        }
        if (InTrash(location)) {
            return false;
        }
        if (location == nullptr) {
            AfxMessageBox("Could not find a suitable Drive");
            return false;
        }
        if (!save || m_host == nullptr) {
            return false;
        }
        m_host->DownloadSave(*save, location->m_name);
        return true;
    }
    std::optional<ui::GlobalBlock> block = data->GetGlobalData(ui::CF_HDROP);
    if (!block || ui::DragQueryFile(*block, 0xFFFFFFFF, nullptr, 0) != 1) {
        return false;
    }
    char path[fs::kMaxPath];
    if (ui::DragQueryFile(*block, 0, path, sizeof path) == 0) {
        return false;
    }
    EnableWindow(false);
    DriveLocation* changed = m_locations.CopyFileToItem(path, target);
    ShowLocation(changed, false);
    EnableWindow(true);
    return changed != nullptr;
}

// Delete, all on the UI thread: the key asks here, the command asks again
// (OnMenuCommand, kCmdDeleteFile), and LocationList::DeleteEntry sends the
// file to the trash.
void CLocalTree::OnKeyUp(unsigned key, unsigned, unsigned)
{
    if (key != ui::VK_DELETE) {
        return;
    }
    CatalogueItem* record = m_locations.FindItemById(GetSelectedItem());
    const LocationList::RecordMark mark = m_locations.Mark(record);
    if (!IsEntry(record) ||
        AfxMessageBox("Are you sure you wish to delete this file?", MB_YESNO) == IDNO) {
        return;
    }
    // Looked up again after the box: its loop may have freed the record.
    if ((record = m_locations.Recall(mark)) != nullptr) {
        OnMenuCommand(kCmdDeleteFile, record);
    }
}

} // namespace tolvar
