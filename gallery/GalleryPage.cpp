#include "gallery/GalleryPage.h"

#include "resources/Resources.h"

#include <algorithm>

namespace tolvar::gallery {

namespace {

std::vector<GalleryPageInfo>& Registry()
{
    static std::vector<GalleryPageInfo> pages;
    return pages;
}

} // namespace

GalleryPage::GalleryPage() : m_background(LoadBitmapResource(148)) {}
GalleryPage::~GalleryPage() = default;

void GalleryPage::OnCtlColor(ui::Window&, ui::CtlColorKind, ui::ControlColors& colors)
{
    colors.mode = gfx::BackgroundMode::Transparent;
    colors.text = gfx::Rgb(235, 235, 235);
    colors.brush = gfx::Brush::Hollow();
}

void GalleryPage::OnPaint(gfx::Painter& painter)
{
    painter.DrawBitmap({0, 0}, m_background);
}

GalleryPageRegistrar::GalleryPageRegistrar(const GalleryPageInfo& info)
{
    Registry().push_back(info);
}

std::vector<GalleryPageInfo> RegisteredPages()
{
    std::vector<GalleryPageInfo> pages = Registry();
    std::stable_sort(
        pages.begin(), pages.end(),
        [](const GalleryPageInfo& a, const GalleryPageInfo& b) { return a.order < b.order; });
    return pages;
}

} // namespace tolvar::gallery
