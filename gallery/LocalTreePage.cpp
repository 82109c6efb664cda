// The Local Tree page: the real Local Tree over the drives this machine has
// mounted (removable ones, such as those under /media), the PC database
// folder "Saves" of the working directory and the user's trash, with every
// location opened.
#include "gallery/GalleryPage.h"

#include "platform/fs/Path.h"
#include "platform/ui/Clipboard.h"
#include "storage/LocalTree.h"
#include "widgets/SkinScrollBar.h"

namespace tolvar::gallery {

namespace {

// The gallery has no upload form and no settings: nothing to hand over.
class PageHost final : public LocalTreeHost
{
public:
    void DownloadSave(const OnlineSaveDrag&, const std::string&) override {}
    std::string GetCodeListUrl() const override { return {}; }
};

class LocalTreePage : public GalleryPage
{
public:
    LocalTreePage()
        : m_bar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132),
          m_tree(&m_bar, &m_host, fs::GetExecutableFolder())
    {
    }

protected:
    bool OnCreate() override
    {
        m_tree.CreateTree(this, {30, 170}, 1000, "Local Tree");
        m_tree.RegisterDropTarget();
        m_bar.Create(1008, this, &m_tree, 323, 169);
        m_tree.SetLocalClipboardFormat(ui::RegisterClipboardFormat("ZyferLocalFile"));
        m_tree.SetOnlineClipboardFormat(ui::RegisterClipboardFormat("ZyferOnlineFile"));
        m_tree.FillTree();
        for (std::size_t i = 0; i < m_tree.Locations().LocationCount(); ++i) {
            m_tree.Expand(m_tree.Locations().LocationAt(i)->m_itemId, TVE_EXPAND);
        }
        m_tree.UpdateScrollBar();
        return true;
    }

private:
    PageHost m_host;
    CSkinScrollBar m_bar;
    CLocalTree m_tree;
};

const GalleryPageRegistrar kRegistrar(
    {"local", 25, [] { return std::unique_ptr<GalleryPage>(std::make_unique<LocalTreePage>()); }});

} // namespace

} // namespace tolvar::gallery
