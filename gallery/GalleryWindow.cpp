#include "gallery/GalleryWindow.h"

#include "platform/ui/WindowSystem.h"

namespace tolvar::gallery {

GalleryWindow::GalleryWindow() = default;

GalleryWindow::~GalleryWindow()
{
    // Pages are children: destroy them while this window still exists.
    m_pages.clear();
}

bool GalleryWindow::Create(gfx::Point topLeft)
{
    if (!ui::Window::Create(nullptr, gfx::Rect::FromSize(topLeft, kGallerySize))) {
        return false;
    }
    SetTitle("Tolvar Gallery");
    SetWindowText("Tolvar Gallery");
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40));
    m_infos = RegisteredPages();
    unsigned id = 1;
    for (const GalleryPageInfo& info : m_infos) {
        auto page = info.create();
        ui::WindowStyle style;
        style.visible = false;
        if (page && page->Create(this, GetClientRect(), id++, style)) {
            m_pages.push_back(std::move(page));
        } else {
            m_pages.push_back(nullptr);
        }
    }
    ShowPage(std::size_t{0});
    return true;
}

GalleryPage* GalleryWindow::CurrentPage() const
{
    return m_current < m_pages.size() ? m_pages[m_current].get() : nullptr;
}

void GalleryWindow::ShowPage(std::size_t index)
{
    if (index >= m_pages.size() || !m_pages[index]) {
        return;
    }
    if (GalleryPage* old = CurrentPage(); old && m_current != index) {
        old->OnPageHidden();
        old->ShowWindow(ui::ShowCommand::Hide);
    }
    m_current = index;
    m_pages[index]->ShowWindow(ui::ShowCommand::Show);
    m_pages[index]->OnPageShown();
    RedrawWindow();
}

bool GalleryWindow::ShowPage(const std::string& name)
{
    for (std::size_t i = 0; i < m_infos.size(); ++i) {
        if (name == m_infos[i].name && m_pages[i]) {
            ShowPage(i);
            return true;
        }
    }
    return false;
}

void GalleryWindow::NextPage(int direction)
{
    if (m_pages.empty()) {
        return;
    }
    const std::size_t n = m_pages.size();
    std::size_t next = m_current;
    for (std::size_t step = 0; step < n; ++step) {
        next = (next + n + (direction < 0 ? n - 1 : 1)) % n;
        if (m_pages[next]) {
            ShowPage(next);
            return;
        }
    }
}

bool GalleryWindow::TakeGalleryKey(const ui::Message& message)
{
    ui::Window* target = ui::Window::FromHandle(message.window);
    if (message.message == ui::WM_KEYDOWN && target != nullptr && target->TopLevel() == this) {
        switch (message.wParam) {
        case ui::VK_NEXT:
            NextPage(1);
            return true;
        case ui::VK_PRIOR:
            NextPage(-1);
            return true;
        case ui::VK_ESCAPE:
            ui::WindowSystem::Get().Quit();
            return true;
        default:
            break;
        }
    }
    return false;
}

void GalleryWindow::OnClose()
{
    ui::WindowSystem::Get().Quit();
}

} // namespace tolvar::gallery
