#include "online/OnlineTree.h"

#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineSave.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/TextCompare.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/WindowSystem.h"
#include "resources/MenuResources.h"

namespace tolvar {
namespace {

constexpr const char* kRootName = "Online Database";
constexpr const char* kCommunityName = "Online Community";
enum : int
{
    kImageRoot = 0,
    kImageDocument = 4,
    kImageGlobe = 8
};

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

OnlineSave* AsSave(OnlineRecord* record)
{
    return record != nullptr && record->m_kind == kOnlineKindSave ? static_cast<OnlineSave*>(record)
                                                                  : nullptr;
}

OnlineFolder* AsFolder(OnlineRecord* record)
{
    return record != nullptr && record->m_kind == kOnlineKindFolder
               ? static_cast<OnlineFolder*>(record)
               : nullptr;
}

} // namespace

LResult COnlineTree::MainWindowTarget::SendAppMessage(unsigned message, WParam wParam,
                                                      LParam lParam)
{
    return ui::SendMessage(m_handle.load(), message, wParam, lParam);
}

void COnlineTree::ListView::AddFolderItem(OnlineFolder* folder, OnlineFolder* parent)
{
    m_tree.AddFolderItem(folder, parent);
}
void COnlineTree::ListView::AddSaveItem(OnlineSave* save, OnlineFolder* parent)
{
    m_tree.AddSaveItem(save, parent);
}
void COnlineTree::ListView::SetRedraw(bool redraw)
{
    m_tree.SetRedraw(redraw);
}
void COnlineTree::ListView::EnableWindow(bool enable)
{
    m_tree.EnableWindow(enable);
}
void COnlineTree::ListView::RedrawWindow()
{
    m_tree.RedrawWindow();
}
void COnlineTree::ListView::UpdateScrollBar()
{
    m_tree.UpdateScrollBar();
}

COnlineTree::COnlineTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId,
                         int disabledImagesId)
    : CFileTree(scrollBar, backgroundId, imagesId, disabledImagesId),
      m_listJob(std::make_unique<OnlineListJob>(&m_listView, &m_mainWindow))
{
}

COnlineTree::~COnlineTree()
{
    // The list job ends before the records it may still be reaching go.
    CancelJobs();
    WaitForJobs();
    m_listJob.reset();
    m_records.clear();
    m_root.reset();
}

bool COnlineTree::OnCreate()
{
    if (!CFileTree::OnCreate()) {
        return false;
    }
    m_mainWindow.m_handle = MainWindowHandle();
    return true;
}

void COnlineTree::SetClipboardFormats(unsigned localFileFormat, unsigned onlineFileFormat)
{
    m_localFileFormat = localFileFormat;
    m_onlineFileFormat = onlineFileFormat;
}

bool COnlineTree::IsListing() const
{
    return m_listJob->IsRunning();
}

OnlineRecord* COnlineTree::FindRecord(TreeItem* item) const
{
    const auto found = m_records.find(item);
    return found != m_records.end() ? found->second : nullptr;
}

OnlineFolder* COnlineTree::CreateRoot()
{
    if (m_root) {
        return m_root.get();
    }
    m_root = std::make_unique<OnlineFolder>();
    m_root->m_name = kRootName;
    m_rootItem = InsertItem(kRootName, kImageRoot, kImageRoot, nullptr, nullptr);
    m_root->m_itemId = m_rootItem;
    m_records[m_rootItem] = m_root.get();
    return m_root.get();
}

TreeItem* COnlineTree::ParentItemOf(OnlineFolder* parent) const
{
    return parent != nullptr ? parent->m_itemId : m_rootItem;
}

void COnlineTree::AddFolderItem(OnlineFolder* folder, OnlineFolder* parent)
{
    TreeItem* item = InsertItemShort(folder->m_name, ParentItemOf(parent), nullptr);
    if (parent != nullptr && CompareNoCase(folder->m_name, kCommunityName) == 0) {
        m_community = folder;
    }
    folder->m_itemId = item;
    m_records[item] = folder;
}

void COnlineTree::AddSaveItem(OnlineSave* save, OnlineFolder* parent)
{
    TreeItem* item = InsertItemShort(save->m_name, ParentItemOf(parent), nullptr);
    m_records[item] = save;
    save->m_itemId = item;
    UpdateView();
}

void COnlineTree::OnMenuCommand(unsigned command, OnlineRecord* record)
{
    if (command != kRefreshCommand) {
        AfxMessageBox("An unknown menu command was received", MB_OK);
        return;
    }
    OnlineFolder* folder = AsFolder(record);
    // A list job still running may be about to hand records to this very
    // folder or one below it; the refresh waits for the next time.
    if (folder == nullptr || IsListing()) {
        return;
    }
    if (folder == m_root.get() && !folder->m_url) {
        // The settings page is read beside the window's start, so the root
        // takes its address when first refreshed, not when it is created.
        folder->m_url = GetSavesUrl();
    }
    EnableWindow(false);
    SetRedraw(false);
    RemoveContents(folder);
    m_listJob->Fetch(folder->m_url.value_or(""), folder);
}

// Unlinks a record from everything that points at it without owning it.
void COnlineTree::Forget(OnlineRecord* record)
{
    if (OnlineFolder* folder = AsFolder(record)) {
        for (auto& child : folder->m_children) {
            Forget(child.get());
        }
        if (m_community == folder) {
            m_community = nullptr;
        }
    }
    if (record->m_itemId != nullptr) {
        m_records.erase(record->m_itemId);
    }
}

void COnlineTree::RemoveContents(OnlineFolder* folder)
{
    for (auto& child : folder->m_children) {
        Forget(child.get());
    }
    folder->m_children.clear();
    if (folder->m_itemId != nullptr) {
        DeleteChildItems(folder->m_itemId);
    }
}

void COnlineTree::RefreshCommunity()
{
    if (m_community != nullptr) {
        OnMenuCommand(kRefreshCommand, m_community);
    }
}

void COnlineTree::CancelJobs()
{
    m_listJob->Cancel();
}

void COnlineTree::WaitForJobs()
{
    m_listJob->WaitForJob();
}

bool COnlineTree::OnEndLabelEdit(TreeItem* item, std::string newText)
{
    const std::string trimmed = Trim(newText);
    return !trimmed.empty() && trimmed != GetItemText(item);
}

bool COnlineTree::Expand(TreeItem* item, ExpandCode code)
{
    CFileTree::Expand(item, code);
    OnlineFolder* folder = AsFolder(FindRecord(item));
    if (folder != nullptr && folder->m_children.empty()) {
        if (item == m_rootItem) {
            m_listJob->RefreshRoot(folder);
        } else {
            m_listJob->Fetch(folder->m_url.value_or(""), folder);
        }
    }
    return true;
}

void COnlineTree::GetItemColors(TreeItem*, gfx::Color* normal, gfx::Color* disabled,
                                gfx::Color* selected)
{
    *normal = gfx::Rgb(233, 233, 253);
    *disabled = gfx::Rgb(110, 110, 110);
    *selected = gfx::Rgb(185, 185, 249);
}

bool COnlineTree::ItemHasChildren(TreeItem* item)
{
    return AsFolder(FindRecord(item)) != nullptr;
}

int COnlineTree::GetItemImage(TreeItem* item)
{
    if (item != nullptr && IsValidItem(item) && item->depth == 0) {
        return kImageGlobe;
    }
    const OnlineSave* save = AsSave(FindRecord(item));
    return save != nullptr && !save->m_placeholder ? kImageDocument : -1;
}

void COnlineTree::ShowContextMenu(gfx::Point point)
{
    const gfx::Point screen = ClientToScreen(point);
    TreeItem* item = HitTest(point.x, point.y);
    const MenuResource* resource = FindMenuResource(kMenuId);
    if (AsFolder(FindRecord(item)) == nullptr || resource == nullptr) {
        return;
    }
    ui::PopupMenu menu;
    for (const MenuItemResource& entry : resource->items) {
        menu.AppendMenu(entry.command == 0 ? ui::MF_SEPARATOR : ui::MF_STRING, entry.command,
                        entry.text);
    }
    const unsigned command =
        menu.TrackPopupMenu(ui::TPM_RETURNCMD | ui::TPM_RIGHTBUTTON, screen, this);
    // The menu ran a loop of its own: look the folder up again.
    if (OnlineRecord* record = FindRecord(item); command != 0 && record != nullptr) {
        OnMenuCommand(command, record);
    }
}

std::string COnlineTree::GetToolTipText(gfx::Point point)
{
    const OnlineSave* save = AsSave(FindRecord(HitTest(point.x, point.y)));
    return save != nullptr ? save->m_description : std::string();
}

std::optional<OnlineSaveDrag> COnlineTree::SaveDragOf(TreeItem* item) const
{
    const OnlineSave* save = AsSave(FindRecord(item));
    if (save == nullptr || save->m_placeholder) {
        return std::nullopt;
    }
    const OnlineFile* file = save->m_file.get();
    // A save whose detail named no file travels empty and is dropped in vain.
    return OnlineSaveDrag{file != nullptr ? file->m_url.value_or("") : std::string(),
                          file != nullptr ? file->m_downloadSize : 0, save->m_name};
}

void COnlineTree::BeginDrag(TreeItem* item)
{
    const std::optional<OnlineSaveDrag> save = SaveDragOf(item);
    if (!save) {
        return;
    }
    SelectItem(item);
    RunDrag(m_onlineFileFormat, MakeOnlineSaveBlock(MainWindowHandle(), *save), std::nullopt);
}

bool COnlineTree::CanBeginDrag(gfx::Point point)
{
    return SaveDragOf(HitTest(point.x, point.y)).has_value();
}

bool COnlineTree::OnDrop(ui::Window*, ui::DataObject* data, ui::DropEffect, gfx::Point)
{
    const std::optional<ui::GlobalBlock> block =
        data != nullptr ? data->GetGlobalData(m_localFileFormat) : std::nullopt;
    if (!block) {
        return false;
    }
    // The code list is never offered to the community.
    const std::optional<LocalSaveDrag> save = ReadLocalSaveBlock(*block);
    if (save && !save->codeList && m_host != nullptr) {
        m_host->UploadSave(*save);
    }
    return true;
}

ui::DropEffect COnlineTree::OnDragOver(ui::Window*, ui::DataObject*, unsigned, gfx::Point)
{
    return m_dropAccepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
}

ui::DropEffect COnlineTree::OnDragEnter(ui::Window*, ui::DataObject* data, unsigned, gfx::Point)
{
    m_dropAccepted = HoldsOwnMainWindow(data, m_localFileFormat);
    return m_dropAccepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
}

} // namespace tolvar
