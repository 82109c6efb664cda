#pragma once

#include "gallery/GalleryPage.h"

#include <memory>
#include <string>
#include <vector>

namespace tolvar::gallery {

// The gallery's one top-level window: rounded like the program's windows,
// showing one registered page at a time. Page Down and Page Up turn the
// pages, Escape closes the gallery, whichever control has the keyboard.
class GalleryWindow : public ui::Window
{
public:
    GalleryWindow();
    ~GalleryWindow() override;

    // Creates the window with its top-left at topLeft (screen) and every page.
    bool Create(gfx::Point topLeft);
    bool ShowPage(const std::string& name);
    void ShowPage(std::size_t index);
    void NextPage(int direction);
    std::size_t PageCount() const { return m_pages.size(); }
    GalleryPage* CurrentPage() const;

    // The gallery's own keys, taken before any control sees them (a focused
    // tree would use Page Up and Page Down itself): the loop's filter.
    bool TakeGalleryKey(const ui::Message& message);

protected:
    void OnClose() override;

private:
    std::vector<GalleryPageInfo> m_infos;
    std::vector<std::unique_ptr<GalleryPage>> m_pages;
    std::size_t m_current = 0;
};

} // namespace tolvar::gallery
