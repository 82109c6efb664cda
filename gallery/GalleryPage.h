#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Window.h"

#include <memory>
#include <string>
#include <vector>

namespace tolvar::gallery {

// The gallery window's client size: the main window's skin.
inline constexpr gfx::Size kGallerySize{700, 494};

// A page of the gallery: a child window covering the gallery's client area,
// which builds its widgets in OnCreate. By default it paints the main
// window's skin (bitmap 148) as its background, so widgets placed where the
// main window puts them look as they will there.
class GalleryPage : public ui::Window
{
public:
    GalleryPage();
    ~GalleryPage() override;

    // The page became the visible one, or stopped being it.
    virtual void OnPageShown() {}
    virtual void OnPageHidden() {}

    // Light text straight over the skin, for CLabel children.
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;

protected:
    void OnPaint(gfx::Painter& painter) override;

    gfx::Bitmap m_background;
};

// Pages register themselves from their own files with a static registrar:
//     static GalleryPageRegistrar registrar({"trees", 20, [] { ... }});
struct GalleryPageInfo
{
    const char* name; // chosen with --page NAME
    int order;        // pages follow one another by this
    std::unique_ptr<GalleryPage> (*create)();
};

struct GalleryPageRegistrar
{
    explicit GalleryPageRegistrar(const GalleryPageInfo& info);
};

std::vector<GalleryPageInfo> RegisteredPages(); // sorted by order

} // namespace tolvar::gallery
