// A popup menu is a popup top-level window shown for the length of a modal
// loop whose filter takes every mouse and key message: moves highlight the
// item under the pointer, a release on an enabled item chooses it, a press
// outside the menu or Escape dismisses it.
#include "platform/ui/PopupMenu.h"

#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <cctype>

namespace tolvar::ui {
namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 7;
constexpr int kTextLeft = 22;
constexpr int kBorder = 1;
constexpr gfx::Color kBackground = gfx::Rgb(10, 32, 78);
constexpr gfx::Color kFrame = gfx::Rgb(74, 116, 186);
constexpr gfx::Color kText = gfx::Rgb(235, 235, 235);
constexpr gfx::Color kGrey = gfx::Rgb(112, 126, 156);
constexpr gfx::Color kHighlight = gfx::Rgb(32, 86, 168);

Window* g_activeMenu = nullptr;

gfx::FontPtr ItemFont(bool bold)
{
    return gfx::Font::Create("Arial", 8.5, bold ? gfx::FontWeight::Bold : gfx::FontWeight::Normal);
}

bool Selectable(const PopupMenu::Item& item)
{
    return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
}

char Mnemonic(const std::string& text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] == '&') {
                ++i;
                continue;
            }
            return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        }
    }
    return 0;
}

class MenuWindow final : public Window
{
public:
    explicit MenuWindow(const std::vector<PopupMenu::Item>& items) : m_items(items) {}

    Size Measure() const
    {
        int width = 120;
        int height = 2 * kBorder + 2;
        for (const auto& item : m_items) {
            if (item.flags & MF_SEPARATOR) {
                height += kSeparatorHeight;
                continue;
            }
            gfx::Painter measure(const_cast<gfx::Bitmap&>(m_scratch));
            measure.SetFont(ItemFont(item.flags & MF_DEFAULT));
            std::string plain;
            for (std::size_t i = 0; i < item.text.size(); ++i) {
                if (item.text[i] == '&' && i + 1 < item.text.size()) {
                    ++i;
                }
                plain.push_back(item.text[i]);
            }
            width = std::max(width, kTextLeft + measure.TextExtent(plain).width + 24);
            height += kItemHeight;
        }
        return {width, height};
    }

    int ItemAt(Point client) const
    {
        int y = kBorder + 1;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            int h = (m_items[i].flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
            if (client.y >= y && client.y < y + h && client.x >= 0 &&
                client.x < GetClientRect().Width()) {
                return static_cast<int>(i);
            }
            y += h;
        }
        return -1;
    }

    void Highlight(int index)
    {
        if (index != m_highlight) {
            m_highlight = index;
            RedrawWindow();
        }
    }
    int Highlighted() const { return m_highlight; }

    void Step(int direction)
    {
        int n = static_cast<int>(m_items.size());
        for (int k = 1; k <= n; ++k) {
            int i = ((m_highlight < 0 ? (direction > 0 ? -1 : n) : m_highlight) + direction * k +
                     n * 2) %
                    n;
            if (!(m_items[static_cast<std::size_t>(i)].flags & MF_SEPARATOR)) {
                Highlight(i);
                return;
            }
        }
    }

protected:
    void OnPaint(gfx::Painter& p) override
    {
        Rect all = GetClientRect();
        p.FillRect(all, kBackground);
        p.FrameRect(all, kFrame);
        p.SetBackgroundMode(gfx::BackgroundMode::Transparent);
        int y = kBorder + 1;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const auto& item = m_items[i];
            if (item.flags & MF_SEPARATOR) {
                p.FillRect({6, y + 3, all.right - 6, y + 4}, kFrame);
                y += kSeparatorHeight;
                continue;
            }
            Rect row{kBorder + 1, y, all.right - kBorder - 1, y + kItemHeight};
            bool grey = !Selectable(item);
            if (static_cast<int>(i) == m_highlight) {
                p.FillRect(row, kHighlight);
            }
            if (item.flags & MF_CHECKED) {
                p.FillRect({8, y + 8, 13, y + 13}, grey ? kGrey : kText);
            }
            p.SetFont(ItemFont(item.flags & MF_DEFAULT));
            p.SetTextColor(grey ? kGrey : kText);
            Rect textRect{kTextLeft, y, row.right - 4, y + kItemHeight};
            p.DrawText(textRect, item.text,
                       gfx::kTextLeft | gfx::kTextVCenter | gfx::kTextSingleLine);
            // Underline the mnemonic letter.
            std::size_t amp = item.text.find('&');
            if (amp != std::string::npos && amp + 1 < item.text.size() &&
                item.text[amp + 1] != '&') {
                std::string before;
                for (std::size_t k = 0; k < amp; ++k) {
                    before.push_back(item.text[k]);
                }
                int x0 = kTextLeft + p.TextExtent(before).width;
                int w = p.TextExtent(item.text.substr(amp + 1, 1)).width;
                int baseline =
                    y + (kItemHeight - p.GetFont().LineHeight()) / 2 + p.GetFont().Ascent() + 1;
                p.FillRect({x0, baseline, x0 + w, baseline + 1}, grey ? kGrey : kText);
            }
            y += kItemHeight;
        }
    }

private:
    std::vector<PopupMenu::Item> m_items;
    gfx::Bitmap m_scratch{1, 1};
    int m_highlight = -1;
};

} // namespace

bool PopupMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text)
{
    m_items.push_back({flags, id, text});
    return true;
}

bool PopupMenu::EnableMenuItem(unsigned id, unsigned flags)
{
    for (Item& item : m_items) {
        if (item.id == id && !(item.flags & MF_SEPARATOR)) {
            item.flags =
                (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
            return true;
        }
    }
    return false;
}

bool PopupMenu::SetDefaultItem(unsigned id)
{
    bool found = false;
    for (Item& item : m_items) {
        item.flags &= ~MF_DEFAULT;
        if (item.id == id && !(item.flags & MF_SEPARATOR)) {
            item.flags |= MF_DEFAULT;
            found = true;
        }
    }
    return found;
}

bool PopupMenu::CheckMenuItem(unsigned id, bool checked)
{
    for (Item& item : m_items) {
        if (item.id == id) {
            item.flags = checked ? (item.flags | MF_CHECKED) : (item.flags & ~MF_CHECKED);
            return true;
        }
    }
    return false;
}

Window* PopupMenu::ActiveMenuWindow()
{
    return g_activeMenu;
}

unsigned PopupMenu::TrackPopupMenu(unsigned flags, Point screen, Window* owner)
{
    if (m_items.empty() || g_activeMenu != nullptr) {
        return 0;
    }
    WindowSystem& system = WindowSystem::Get();
    MenuWindow menu(m_items);
    Size size = menu.Measure();
    Size screenSize = system.GetBackend().ScreenSize();
    Point at = screen;
    if (at.x + size.width > screenSize.width) {
        at.x = std::max(0, at.x - size.width);
    }
    if (at.y + size.height > screenSize.height) {
        at.y = std::max(0, at.y - size.height);
    }
    WindowStyle style;
    style.topLevel = TopLevelKind::Popup;
    if (!menu.Create(nullptr, Rect::FromSize(at, size), 0, style)) {
        return 0;
    }
    menu.BringWindowToTop();
    g_activeMenu = &menu;
    WindowHandle ownerHandle = owner != nullptr ? owner->Handle() : kNoWindow;

    bool done = false;
    unsigned chosen = 0;
    auto choose = [&](int index) {
        if (index >= 0 && Selectable(m_items[static_cast<std::size_t>(index)])) {
            chosen = m_items[static_cast<std::size_t>(index)].id;
            done = true;
        }
    };
    MessageFilter filter = [&](Message& m) {
        bool inside = menu.GetWindowRect().Contains(m.screenPoint);
        Point client = menu.ScreenToClient(m.screenPoint);
        switch (m.message) {
        case WM_MOUSEMOVE:
            menu.Highlight(inside ? menu.ItemAt(client) : -1);
            return true;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            if (!inside) {
                done = true; // a press elsewhere dismisses the menu
            }
            return true;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (inside && (m.message == WM_LBUTTONUP || (flags & TPM_RIGHTBUTTON))) {
                choose(menu.ItemAt(client));
            }
            return true;
        case WM_KEYDOWN: {
            auto key = static_cast<unsigned>(m.wParam);
            if (key == VK_ESCAPE) {
                done = true;
            } else if (key == VK_UP) {
                menu.Step(-1);
            } else if (key == VK_DOWN) {
                menu.Step(1);
            } else if (key == VK_RETURN) {
                choose(menu.Highlighted());
            } else {
                for (std::size_t i = 0; i < m_items.size(); ++i) {
                    char letter = Mnemonic(m_items[i].text);
                    if (letter != 0 && static_cast<unsigned>(letter) == key) {
                        choose(static_cast<int>(i));
                        break;
                    }
                }
            }
            return true;
        }
        case WM_KEYUP:
        case WM_CHAR:
        case WM_MOUSEWHEEL:
            return true;
        default:
            return false;
        }
    };
    system.RunModalLoop([&] { return !done && menu.IsWindow(); }, filter);
    g_activeMenu = nullptr;
    menu.Destroy();
    if (chosen != 0 && !(flags & TPM_RETURNCMD)) {
        SendMessage(ownerHandle, WM_COMMAND, MakeWParam(chosen, 0), 0);
    }
    return chosen;
}

} // namespace tolvar::ui
