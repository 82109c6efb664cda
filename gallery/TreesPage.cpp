// The trees page: two file trees side by side where the main window puts
// them, with their scroll bars, filled three levels deep with sample items.
// Saves (the third level) can be dragged from one tree to the other, and
// within the left one; a dropped save is added under the folder it lands
// on. The left tree also offers a dragged save to the desktop as a file (a
// copy written to the temporary folder) and takes one file dropped from a
// file manager.
#include "gallery/GalleryPage.h"

#include "platform/ui/Clipboard.h"
#include "platform/ui/DragDrop.h"
#include "treeview/DragPayload.h"
#include "treeview/FileTree.h"
#include "widgets/SkinScrollBar.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

namespace tolvar::gallery {

namespace {

enum : unsigned
{
    kLocalTreeId = 1000,
    kOnlineTreeId = 1001,
    kOnlineBarId = 1007,
    kLocalBarId = 1008
};
enum : int
{
    kImageClosedFolder = 2,
    kImageOpenFolder = 3,
    kImageDocument = 4,
    kImageHardDisk = 6,
    kImageGlobe = 8
};

std::string g_draggedLabel; // what the last drag between the trees carried

class SampleTree : public CFileTree
{
public:
    SampleTree(CSkinScrollBar* bar, bool left)
        : CFileTree(bar, left ? 164 : 165, 144, 143), m_left(left),
          m_localFormat(ui::RegisterClipboardFormat("ZyferLocalFile")),
          m_onlineFormat(ui::RegisterClipboardFormat("ZyferOnlineFile"))
    {
    }

    void FillSamples()
    {
        TreeItem* root =
            InsertItemShort(m_left ? "PC Databases" : "Online Database", nullptr, nullptr);
        const char* folders[] = {"E:", "F:", "Saves\\"};
        const char* onlineFolders[] = {"Action", "Racing", "Online Community"};
        for (int f = 0; f < 3; ++f) {
            TreeItem* folder =
                InsertItemShort(m_left ? folders[f] : onlineFolders[f], root, nullptr);
            for (int s = 1; s <= 6; ++s) {
                InsertItemShort((m_left ? "Local save " : "Online save ") +
                                    std::to_string(f * 10 + s),
                                folder, nullptr);
            }
        }
        Expand(root, TVE_EXPAND);
        // The left tree opens every folder, so its scroll bar has rows to scroll.
        for (TreeItem* folder = root->firstChild; folder != nullptr; folder = folder->nextSibling) {
            Expand(folder, TVE_EXPAND);
            if (!m_left) {
                break;
            }
        }
    }

    int GetItemImage(TreeItem* item) override
    {
        switch (item->depth) {
        case 0:
            return m_left ? kImageHardDisk : kImageGlobe;
        case 1:
            return item->expanded ? kImageOpenFolder : kImageClosedFolder;
        default:
            return kImageDocument;
        }
    }

    std::string GetToolTipText(gfx::Point point) override
    {
        TreeItem* item = HitTest(point.x, point.y);
        return item != nullptr ? GetItemText(item) : std::string();
    }

    bool CanBeginDrag(gfx::Point point) override
    {
        TreeItem* item = HitTest(point.x, point.y);
        return item != nullptr && item->depth == 2;
    }

    void BeginDrag(TreeItem* item) override
    {
        SelectItem(item);
        g_draggedLabel = GetItemText(item);
        std::optional<std::string> file;
        if (m_left) {
            std::string path = WriteSampleFile(g_draggedLabel);
            if (!path.empty()) {
                file = path;
            }
        }
        RunDrag(m_left ? m_localFormat : m_onlineFormat, MakeOwnFormatBlock(MainWindowHandle()),
                std::move(file));
    }

    ui::DropEffect OnDragEnter(ui::Window*, ui::DataObject* data, unsigned, gfx::Point) override
    {
        m_accepted = false;
        if (data->IsDataAvailable(m_localFormat)) {
            m_accepted = HoldsOwnMainWindow(data, m_localFormat);
        } else if (m_left && data->IsDataAvailable(m_onlineFormat)) {
            m_accepted = HoldsOwnMainWindow(data, m_onlineFormat);
        } else if (m_left && data->IsDataAvailable(ui::CF_HDROP)) {
            m_accepted =
                ui::DragQueryFile(*data->GetGlobalData(ui::CF_HDROP), 0xFFFFFFFF, nullptr, 0) == 1;
        }
        return m_accepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
    }

    ui::DropEffect OnDragOver(ui::Window*, ui::DataObject*, unsigned, gfx::Point) override
    {
        return m_accepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
    }

    bool OnDrop(ui::Window*, ui::DataObject* data, ui::DropEffect, gfx::Point point) override
    {
        TreeItem* target = HitTest(point.x, point.y);
        if (target == nullptr || target->depth == 0) {
            return false;
        }
        TreeItem* folder = target->depth == 1 ? target : target->parent;
        std::string label = g_draggedLabel;
        if (!data->IsDataAvailable(m_localFormat) && !data->IsDataAvailable(m_onlineFormat)) {
            std::string path = ui::DragQueryFiles(*data->GetGlobalData(ui::CF_HDROP)).front();
            label = path.substr(path.find_last_of('\\') + 1);
        }
        TreeItem* added = InsertItemShort(label, folder, nullptr);
        Expand(folder, TVE_EXPAND);
        SelectItem(added);
        EnsureSelectionVisible();
        UpdateScrollBar();
        return true;
    }

private:
    // A real file for a file manager to copy: the sample's name in the
    // temporary folder, offered under its program-style path.
    static std::string WriteSampleFile(const std::string& label)
    {
        std::error_code error;
        std::filesystem::path folder =
            std::filesystem::temp_directory_path(error) / "tolvar-gallery";
        std::filesystem::create_directories(folder, error);
        std::filesystem::path file = folder / (label + ".tvd");
        std::ofstream(file) << "Sample save " << label << "\n";
        if (error) {
            return {};
        }
        std::string path = file.string();
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        return path;
    }

    bool m_left;
    unsigned m_localFormat;
    unsigned m_onlineFormat;
    bool m_accepted = false;
};

class TreesPage : public GalleryPage
{
public:
    TreesPage()
        : m_localBar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132),
          m_onlineBar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132),
          m_local(&m_localBar, true), m_online(&m_onlineBar, false)
    {
    }

protected:
    bool OnCreate() override
    {
        m_local.CreateTree(this, {30, 170}, kLocalTreeId, "Local Tree");
        m_online.CreateTree(this, {366, 170}, kOnlineTreeId, "Online Tree");
        m_local.RegisterDropTarget();
        m_online.RegisterDropTarget();
        m_localBar.Create(kLocalBarId, this, &m_local, 323, 169);
        m_onlineBar.Create(kOnlineBarId, this, &m_online, 659, 169);
        m_local.FillSamples();
        m_online.FillSamples();
        m_local.UpdateScrollBar();
        m_online.UpdateScrollBar();
        return true;
    }

private:
    CSkinScrollBar m_localBar;
    CSkinScrollBar m_onlineBar;
    SampleTree m_local;
    SampleTree m_online;
};

const GalleryPageRegistrar kRegistrar(
    {"trees", 20, [] { return std::unique_ptr<GalleryPage>(std::make_unique<TreesPage>()); }});

} // namespace

} // namespace tolvar::gallery
