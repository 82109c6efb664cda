// The tool tip follows the pointer through an input observer, so tools need
// no code of their own. A move over a tool (re)arms the show timer with the
// initial delay (the reshow delay right after a tip was up); when it fires
// with the pointer still over that tool, the text callback is asked and the
// tip window, a popup, is placed under the pointer. The auto-pop timer, a
// click, leaving the tool or Pop hide it.
#include "platform/ui/ToolTip.h"

#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"

#include <algorithm>

namespace tolvar::ui {
namespace {

constexpr unsigned kShowTimer = 1;
constexpr unsigned kPopTimer = 2;
constexpr int kPadding = 6;
constexpr int kStem = 10;   // height of the balloon's stem
constexpr int kRadius = 12; // corner ellipse of the balloon

gfx::FontPtr TipFont()
{
    return gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Normal);
}

} // namespace

ToolTip::ToolTip() = default;

ToolTip::~ToolTip()
{
    if (m_observer != 0) {
        if (WindowSystem* system = WindowSystem::Instance()) {
            system->RemoveInputObserver(m_observer);
        }
    }
}

bool ToolTip::Create(Window* owner, Style style)
{
    m_owner = owner;
    m_style = style;
    WindowStyle ws;
    ws.visible = false;
    ws.topLevel = TopLevelKind::Popup;
    if (!Window::Create(nullptr, Rect::FromSize(0, 0, 10, 10), 0, ws)) {
        return false;
    }
    SetFont(TipFont(), false);
    m_observer = WindowSystem::Get().AddInputObserver([this](const Message& m) { Observe(m); });
    return true;
}

void ToolTip::AddTool(Window* tool, TextCallback text)
{
    if (tool == nullptr) {
        return;
    }
    RemoveTool(tool);
    m_tools.push_back({tool->Handle(), std::move(text)});
}

void ToolTip::AddTool(Window* tool, const std::string& text)
{
    AddTool(tool, [text](Window&, Point) { return text; });
}

void ToolTip::RemoveTool(Window* tool)
{
    if (tool != nullptr) {
        std::erase_if(m_tools, [&](const Tool& t) { return t.handle == tool->Handle(); });
    }
}

void ToolTip::SetDelayTime(unsigned which, unsigned ms)
{
    switch (which) {
    case TTDT_AUTOMATIC:
        m_initial = ms;
        m_autoPop = ms * 10;
        m_reshow = ms / 5;
        break;
    case TTDT_AUTOPOP:
        m_autoPop = ms;
        break;
    case TTDT_INITIAL:
        m_initial = ms;
        break;
    case TTDT_RESHOW:
        m_reshow = ms;
        break;
    default:
        break;
    }
}

unsigned ToolTip::GetDelayTime(unsigned which) const
{
    switch (which) {
    case TTDT_AUTOPOP:
        return m_autoPop;
    case TTDT_RESHOW:
        return m_reshow;
    default:
        return m_initial;
    }
}

void ToolTip::SetTipBkColor(gfx::Color color)
{
    m_background = color;
    Invalidate();
}

void ToolTip::SetTipTextColor(gfx::Color color)
{
    m_textColor = color;
    Invalidate();
}

void ToolTip::SetMaxTipWidth(int width)
{
    m_maxWidth = width;
}

void ToolTip::Pop()
{
    m_pendingTool = kNoWindow;
    KillTimer(kShowTimer);
    Hide();
}

void ToolTip::Update()
{
    const Point cursor = GetCursorPos();
    Window* under = Window::WindowFromPoint(cursor);
    const Tool* tool = under != nullptr ? ToolAt(under->Handle()) : nullptr;
    Pop();
    if (tool != nullptr) {
        m_pendingTool = tool->handle;
        m_lastPoint = cursor;
        SetTimer(kShowTimer, std::max(m_reshow, 1u));
    }
}

ToolTip::Tool* ToolTip::ToolAt(WindowHandle handle)
{
    for (Tool& t : m_tools) {
        if (t.handle == handle) {
            return &t;
        }
    }
    return nullptr;
}

void ToolTip::Observe(const Message& m)
{
    if (!IsWindow() || m.window == Handle()) {
        return;
    }
    switch (m.message) {
    case WM_MOUSEMOVE: {
        Window* under = Window::WindowFromPoint(m.screenPoint);
        Tool* tool = under != nullptr ? ToolAt(under->Handle()) : nullptr;
        if (tool == nullptr) {
            m_pendingTool = kNoWindow;
            KillTimer(kShowTimer);
            Hide();
            return;
        }
        if (IsShown()) {
            if (m_pendingTool != tool->handle) {
                Hide();
            } else {
                return; // the tip stays while the pointer stays on its tool
            }
        }
        if (m.screenPoint == m_lastPoint && m_pendingTool == tool->handle) {
            return;
        }
        m_lastPoint = m.screenPoint;
        m_pendingTool = tool->handle;
        bool recent = m_recentlyShown && GetTickCount() - m_hiddenAt < std::max(m_initial, 1u);
        SetTimer(kShowTimer, recent ? std::max(m_reshow, 1u) : std::max(m_initial, 1u));
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
        Pop();
        break;
    default:
        break;
    }
}

void ToolTip::OnTimer(unsigned id)
{
    KillTimer(id);
    if (id == kPopTimer) {
        Hide();
        return;
    }
    if (id != kShowTimer) {
        return;
    }
    Window* under = Window::WindowFromPoint(Window::GetCursorPos());
    Tool* tool = ToolAt(m_pendingTool);
    if (tool == nullptr || under == nullptr || under->Handle() != tool->handle) {
        return;
    }
    Show(*tool);
}

void ToolTip::Show(Tool& tool)
{
    Window* window = Window::FromHandle(tool.handle);
    if (window == nullptr || !tool.text) {
        return;
    }
    Point cursor = Window::GetCursorPos();
    WindowHandle self = Handle();
    std::string text = tool.text(*window, window->ScreenToClient(cursor));
    if (Window::FromHandle(self) != this || text.empty()) {
        return; // the callback may do anything, even destroy us
    }
    m_shownText = text;
    gfx::Bitmap scratch(1, 1);
    gfx::Painter measure(scratch);
    measure.SetFont(GetFont());
    int wrap = m_maxWidth > 0 ? m_maxWidth : 10000;
    // Measure by laying out: widest line after word wrapping.
    int width = 0, lines = 0;
    {
        std::string line;
        std::size_t i = 0;
        auto flush = [&] {
            width = std::max(width, measure.TextExtent(line).width);
            ++lines;
            line.clear();
        };
        while (i <= text.size()) {
            std::size_t j = text.find_first_of(" \n", i);
            std::string word = text.substr(i, j == std::string::npos ? std::string::npos : j - i);
            std::string candidate = line.empty() ? word : line + " " + word;
            if (!line.empty() && measure.TextExtent(candidate).width > wrap) {
                flush();
                line = word;
            } else {
                line = candidate;
            }
            if (j == std::string::npos) {
                break;
            }
            if (text[j] == '\n') {
                flush();
            }
            i = j + 1;
        }
        if (!line.empty() || lines == 0) {
            flush();
        }
    }
    int stem = m_style == Style::Balloon ? kStem : 0;
    Size body{width + 2 * kPadding + 2, lines * GetFont()->LineHeight() + 2 * kPadding};
    Size size{body.width, body.height + stem};
    Size screen = WindowSystem::Get().GetBackend().ScreenSize();
    Point at{cursor.x - 14, cursor.y + 18};
    at.x = std::clamp(at.x, 0, std::max(0, screen.width - size.width));
    if (at.y + size.height > screen.height) {
        at.y = std::max(0, cursor.y - size.height - 4);
    }
    MoveWindow(Rect::FromSize(at, size));
    if (m_style == Style::Balloon) {
        // A rounded body with a stem rising from its top-left part.
        gfx::Region bodyShape = gfx::Region::RoundRect(
            Rect::FromSize(0, stem, body.width, body.height), kRadius * 2, kRadius * 2);
        std::vector<gfx::Region::Span> spans = bodyShape.Spans();
        for (int y = 0; y < stem; ++y) {
            spans.push_back({y, 14, 14 + (y * 10) / stem + 1});
        }
        SetWindowRgn(gfx::Region::FromSpans(std::move(spans)));
    } else {
        SetWindowRgn(std::nullopt);
    }
    Invalidate();
    ShowWindow(ShowCommand::Show);
    BringWindowToTop();
    m_recentlyShown = true;
    SetTimer(kPopTimer, std::max(m_autoPop, 1u));
}

void ToolTip::Hide()
{
    KillTimer(kPopTimer);
    if (IsShown()) {
        ShowWindow(ShowCommand::Hide);
        m_hiddenAt = GetTickCount();
    }
}

void ToolTip::OnPaint(gfx::Painter& painter)
{
    Rect all = GetClientRect();
    int stem = m_style == Style::Balloon ? kStem : 0;
    painter.FillRect(all, m_background);
    Rect body{0, stem, all.right, all.bottom};
    const auto& region = GetWindowRgn();
    if (region) {
        // Outline the shape: each row's end pixels, and the body's top and
        // bottom rows.
        for (const auto& s : region->Spans()) {
            painter.FillRect({s.left, s.y, s.left + 1, s.y + 1}, m_textColor);
            painter.FillRect({s.right - 1, s.y, s.right, s.y + 1}, m_textColor);
            if (s.y == body.top && s.right - s.left > 20) {
                painter.FillRect({s.left, s.y, 14, s.y + 1}, m_textColor);
                painter.FillRect({25, s.y, s.right, s.y + 1}, m_textColor);
            }
            if (s.y == body.bottom - 1) {
                painter.FillRect({s.left, s.y, s.right, s.y + 1}, m_textColor);
            }
        }
    } else {
        painter.FrameRect(all, m_textColor);
    }
    painter.SetTextColor(m_textColor);
    painter.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    Rect textRect = body.Inflate(-kPadding, -kPadding);
    textRect.right += 2;
    painter.DrawText(textRect, m_shownText,
                     gfx::kTextLeft | gfx::kTextWordBreak | gfx::kTextNoPrefix);
}

} // namespace tolvar::ui
