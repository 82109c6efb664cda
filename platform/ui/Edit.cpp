#include "platform/ui/Edit.h"

#include "platform/gfx/TextCodec.h"
#include "platform/ui/WindowSystem.h"

#include <algorithm>

namespace tolvar::ui {
namespace {

constexpr int kMarginX = 2;
constexpr int kMarginY = 1;
constexpr gfx::Color kSelectionColor = gfx::Rgb(51, 103, 214);
constexpr unsigned kCaretTimer = 1;

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The byte a typed character becomes in text that is not UTF-8: its
// Windows-1252 code, or nothing when it has none.
int Windows1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    std::u32string high = gfx::DecodeWindows1252(
        std::string("\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f"
                    "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9d\x9e\x9f"));
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

} // namespace

Edit::Edit(unsigned style) : m_style(style) {}

void Edit::SetText(const std::string& text)
{
    SetWindowText(text);
    m_anchor = m_caret = 0;
    m_scrollX = 0;
    m_firstLine = 0;
    Invalidate();
    Changed();
}

void Edit::SetSel(int start, int end)
{
    std::size_t size = GetText().size();
    auto clamp = [&](int v) {
        return v < 0 ? size : std::min<std::size_t>(static_cast<std::size_t>(v), size);
    };
    m_anchor = clamp(start);
    m_caret = clamp(end);
    ScrollToCaret();
    Invalidate();
}

void Edit::GetSel(int& start, int& end) const
{
    start = static_cast<int>(std::min(m_anchor, m_caret));
    end = static_cast<int>(std::max(m_anchor, m_caret));
}

void Edit::ReplaceSel(const std::string& text)
{
    Replace(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret), text);
}

void Edit::Cut()
{
    if (m_style & kEditReadOnly) {
        return;
    }
    Copy();
    ReplaceSel("");
}

void Edit::Copy() const
{
    if (m_anchor != m_caret) {
        SetSelectionText(Selection::Clipboard, SelectedText());
    }
}

void Edit::Paste()
{
    RequestPaste(Selection::Clipboard);
}

std::string Edit::SelectedText() const
{
    const std::size_t from = std::min(m_anchor, m_caret), to = std::max(m_anchor, m_caret);
    const std::string bytes = GetText().substr(from, to - from);
    std::string utf8 =
        gfx::IsValidUtf8(bytes) ? bytes : gfx::EncodeUtf8(gfx::DecodeWindows1252(bytes));
    // Other programs break lines with a plain line feed.
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.compare(i, 2, "\r\n") != 0) {
            out.push_back(utf8[i]);
        }
    }
    return out;
}

void Edit::OfferPrimary() const
{
    if (m_anchor != m_caret) {
        SetSelectionText(Selection::Primary, SelectedText());
    }
}

void Edit::RequestPaste(Selection which)
{
    if (m_style & kEditReadOnly) {
        return;
    }
    // The text may come after this box is gone: find it again by handle.
    RequestSelectionText(which, [handle = Handle()](std::optional<std::string> text) {
        if (auto* edit = dynamic_cast<Edit*>(Window::FromHandle(handle)); edit && text) {
            edit->InsertPasted(*text);
        }
    });
}

// Pasted text becomes this box's kind of text: its line breaks (or only the
// first line in a single-line box), no control characters, the box's
// encoding, and no more than the limit leaves room for, cut between
// characters.
void Edit::InsertPasted(const std::string& utf8)
{
    const bool multiLine = (m_style & kEditMultiLine) != 0;
    const bool asUtf8 = GetText().empty() || gfx::IsValidUtf8(GetText());
    const std::size_t from = std::min(m_anchor, m_caret), to = std::max(m_anchor, m_caret);
    std::size_t room = std::string::npos;
    if (m_limit != 0) {
        const std::size_t kept = GetText().size() - (to - from);
        room = m_limit > kept ? m_limit - kept : 0;
    }
    const std::u32string chars = gfx::DecodeText(utf8);
    std::string out;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        char32_t c = chars[i];
        std::string piece;
        if (c == '\r' || c == '\n') {
            if (!multiLine) {
                break;
            }
            if (c == '\r' && i + 1 < chars.size() && chars[i + 1] == '\n') {
                ++i;
            }
            piece = "\r\n";
        } else if (c == '\t') {
            piece = " ";
        } else if (c < 0x20 || c == 0x7F) {
            continue;
        } else if (asUtf8) {
            piece = gfx::EncodeUtf8(c);
        } else if (int b = Windows1252Byte(c); b >= 0) {
            piece.push_back(static_cast<char>(b));
        } else {
            continue;
        }
        if (room != std::string::npos && out.size() + piece.size() > room) {
            break;
        }
        out += piece;
    }
    if (!out.empty() || from != to) {
        Replace(from, to, out);
    }
}

void Edit::ShowCaret()
{
    if (!HasFocus()) {
        return;
    }
    m_caretShown = true;
    SetTimer(kCaretTimer, kCaretBlinkMs);
    Invalidate();
}

bool Edit::WantsDialogKey(unsigned virtualKey) const
{
    return virtualKey == VK_RETURN && (m_style & kEditMultiLine) && (m_style & kEditWantReturn);
}

std::vector<Edit::Line> Edit::Lines() const
{
    const std::string& text = GetText();
    std::vector<Line> lines;
    if (!(m_style & kEditMultiLine)) {
        lines.push_back({0, text.size()});
        return lines;
    }
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            std::size_t end = i;
            if (end > begin && text[end - 1] == '\r') {
                --end;
            }
            lines.push_back({begin, end});
            begin = i + 1;
        }
    }
    return lines;
}

std::size_t Edit::LineOf(std::size_t pos) const
{
    std::vector<Line> lines = Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (pos <= lines[i].end || i + 1 == lines.size() || pos < lines[i + 1].begin) {
            return i;
        }
    }
    return lines.size() - 1;
}

std::size_t Edit::Next(std::size_t pos) const
{
    const std::string& text = GetText();
    if (pos >= text.size()) {
        return text.size();
    }
    if (text.compare(pos, 2, "\r\n") == 0) {
        return pos + 2; // a line break is one step
    }
    ++pos;
    if (gfx::IsValidUtf8(text)) {
        while (pos < text.size() && IsContinuation(text[pos])) {
            ++pos;
        }
    }
    return pos;
}

std::size_t Edit::Prev(std::size_t pos) const
{
    const std::string& text = GetText();
    if (pos == 0) {
        return 0;
    }
    if (pos >= 2 && text.compare(pos - 2, 2, "\r\n") == 0) {
        return pos - 2;
    }
    --pos;
    if (gfx::IsValidUtf8(text)) {
        while (pos > 0 && IsContinuation(text[pos])) {
            --pos;
        }
    }
    return pos;
}

int Edit::LineHeight() const
{
    return GetFont()->LineHeight();
}

int Edit::XOf(std::size_t pos) const
{
    std::vector<Line> lines = Lines();
    const Line& line = lines[LineOf(pos)];
    std::size_t end = std::clamp(pos, line.begin, line.end);
    return GetFont()
        ->TextExtent(std::string_view(GetText()).substr(line.begin, end - line.begin))
        .width;
}

std::size_t Edit::PosAt(Point client) const
{
    std::vector<Line> lines = Lines();
    int row = m_firstLine + (client.y - kMarginY) / std::max(LineHeight(), 1);
    row = std::clamp(row, 0, static_cast<int>(lines.size()) - 1);
    const Line& line = lines[static_cast<std::size_t>(row)];
    int x = client.x - kMarginX + m_scrollX;
    std::size_t best = line.begin;
    int bestDistance = std::abs(x);
    for (std::size_t pos = line.begin; pos < line.end;) {
        pos = std::min(Next(pos), line.end);
        int px = GetFont()
                     ->TextExtent(std::string_view(GetText()).substr(line.begin, pos - line.begin))
                     .width;
        if (std::abs(px - x) < bestDistance) {
            best = pos;
            bestDistance = std::abs(px - x);
        }
    }
    return best;
}

void Edit::MoveCaret(std::size_t pos, bool extend)
{
    m_caret = pos;
    if (!extend) {
        m_anchor = pos;
    }
    ScrollToCaret();
    Invalidate();
    ShowCaret();
}

void Edit::Replace(std::size_t from, std::size_t to, const std::string& text)
{
    if (m_style & kEditReadOnly) {
        return;
    }
    std::string value = GetText();
    if (m_limit != 0 && value.size() - (to - from) + text.size() > m_limit) {
        return;
    }
    value.replace(from, to - from, text);
    SetWindowText(value);
    m_anchor = m_caret = from + text.size();
    ScrollToCaret();
    Invalidate();
    ShowCaret();
    Changed();
}

void Edit::ScrollToCaret()
{
    int width = GetClientRect().Width() - 2 * kMarginX;
    int x = XOf(m_caret);
    if (x < m_scrollX) {
        m_scrollX = std::max(0, x - width / 3);
    } else if (x > m_scrollX + width - 1) {
        m_scrollX = x - width + 1 + width / 3;
    }
    if (!(m_style & kEditAutoHScroll) && !(m_style & kEditMultiLine)) {
        m_scrollX = 0;
    }
    if (m_style & kEditMultiLine) {
        int visible =
            std::max(1, (GetClientRect().Height() - kMarginY) / std::max(LineHeight(), 1));
        int line = static_cast<int>(LineOf(m_caret));
        if (line < m_firstLine) {
            m_firstLine = line;
        } else if (line >= m_firstLine + visible) {
            m_firstLine = line - visible + 1;
        }
    }
}

void Edit::Changed()
{
    NotifyParent(EN_CHANGE);
}

void Edit::OnPaint(gfx::Painter& painter)
{
    ControlColors colors;
    if (Parent() != nullptr) {
        Parent()->OnCtlColor(*this, CtlColorKind::Edit, colors);
    }
    painter.FillRect(GetClientRect(), colors.brush);
    painter.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    Rect textArea = GetClientRect().Inflate(-1, 0);
    painter.IntersectClip(textArea);
    std::size_t selStart = std::min(m_anchor, m_caret), selEnd = std::max(m_anchor, m_caret);
    bool showSelection = selStart != selEnd && (HasFocus() || (m_style & kEditNoHideSel));
    std::vector<Line> lines = Lines();
    const std::string& text = GetText();
    const gfx::Font& font = *GetFont();
    int lh = LineHeight();
    for (std::size_t i = static_cast<std::size_t>(m_firstLine); i < lines.size(); ++i) {
        int y = kMarginY + (static_cast<int>(i) - m_firstLine) * lh;
        if (y >= GetClientRect().Height()) {
            break;
        }
        const Line& line = lines[i];
        int x0 = kMarginX - m_scrollX;
        auto width = [&](std::size_t a, std::size_t b) {
            return font.TextExtent(std::string_view(text).substr(a, b - a)).width;
        };
        std::size_t a = std::clamp(selStart, line.begin, line.end);
        std::size_t b = std::clamp(selEnd, line.begin, line.end);
        if (showSelection && a < b) {
            int left = x0 + width(line.begin, a);
            painter.FillRect({left, y, left + width(a, b), y + lh}, kSelectionColor);
        }
        painter.SetTextColor(colors.text);
        std::string_view lineText =
            std::string_view(text).substr(line.begin, line.end - line.begin);
        painter.DrawText({x0, y}, lineText, GetClientRect());
        if (showSelection && a < b) {
            // The selected part again, light on the selection colour.
            int left = x0 + width(line.begin, a);
            painter.SetTextColor(gfx::Rgb(255, 255, 255));
            painter.DrawText({left, y}, std::string_view(text).substr(a, b - a),
                             Rect{left, y, left + width(a, b), y + lh});
        }
    }
    if (HasFocus() && m_caretShown && !(m_style & kEditReadOnly)) {
        int line = static_cast<int>(LineOf(m_caret));
        int x = kMarginX - m_scrollX + XOf(m_caret);
        int y = kMarginY + (line - m_firstLine) * lh;
        painter.FillRect({x, y, x + 1, y + lh}, colors.text);
    }
}

void Edit::OnKeyDown(unsigned virtualKey, unsigned, unsigned)
{
    bool shift = IsKeyDown(VK_SHIFT);
    bool control = IsKeyDown(VK_CONTROL);
    std::size_t selStart = std::min(m_anchor, m_caret), selEnd = std::max(m_anchor, m_caret);
    std::vector<Line> lines = Lines();
    const Line& line = lines[LineOf(m_caret)];
    switch (virtualKey) {
    case VK_LEFT:
        if (!shift && selStart != selEnd) {
            MoveCaret(selStart, false);
        } else {
            MoveCaret(Prev(m_caret), shift);
        }
        break;
    case VK_RIGHT:
        if (!shift && selStart != selEnd) {
            MoveCaret(selEnd, false);
        } else {
            MoveCaret(Next(m_caret), shift);
        }
        break;
    case VK_UP:
    case VK_DOWN: {
        std::size_t index = LineOf(m_caret);
        if (!(m_style & kEditMultiLine) || (virtualKey == VK_UP && index == 0) ||
            (virtualKey == VK_DOWN && index + 1 >= lines.size())) {
            break;
        }
        int x = XOf(m_caret) - m_scrollX + kMarginX;
        int row = static_cast<int>(index) + (virtualKey == VK_UP ? -1 : 1) - m_firstLine;
        MoveCaret(PosAt({x, kMarginY + row * LineHeight() + 1}), shift);
        break;
    }
    case VK_HOME:
        MoveCaret(control ? 0 : line.begin, shift);
        break;
    case VK_END:
        MoveCaret(control ? GetText().size() : line.end, shift);
        break;
    case VK_BACK:
        if (selStart != selEnd) {
            Replace(selStart, selEnd, "");
        } else if (m_caret > 0) {
            Replace(Prev(m_caret), m_caret, "");
        }
        break;
    case VK_DELETE:
        if (shift && selStart != selEnd) {
            Cut();
        } else if (selStart != selEnd) {
            Replace(selStart, selEnd, "");
        } else if (m_caret < GetText().size()) {
            Replace(m_caret, Next(m_caret), "");
        }
        break;
    case VK_RETURN:
        if ((m_style & kEditMultiLine) && (m_style & kEditWantReturn)) {
            Replace(selStart, selEnd, "\r\n");
        }
        break;
    case 'A':
        if (control) {
            SetSel(0, -1);
            OfferPrimary();
        }
        break;
    case 'X':
        if (control) {
            Cut();
        }
        break;
    case 'C':
        if (control) {
            Copy();
        }
        break;
    case 'V':
        if (control) {
            Paste();
        }
        break;
    case VK_INSERT:
        if (control) {
            Copy();
        } else if (shift) {
            Paste();
        }
        break;
    default:
        break;
    }
    if (shift && virtualKey != VK_DELETE && virtualKey != VK_INSERT) {
        OfferPrimary();
    }
}

void Edit::OnChar(char32_t character, unsigned, unsigned)
{
    if (character < 0x20 || character == 0x7F) {
        return; // control characters arrive as keys
    }
    const std::string& text = GetText();
    std::string bytes;
    if (text.empty() || gfx::IsValidUtf8(text)) {
        bytes = gfx::EncodeUtf8(character);
    } else if (int b = Windows1252Byte(character); b >= 0) {
        bytes.push_back(static_cast<char>(b));
    } else {
        return;
    }
    Replace(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret), bytes);
}

void Edit::OnLButtonDown(unsigned, Point point)
{
    SetFocus();
    MoveCaret(PosAt(point), IsKeyDown(VK_SHIFT));
    m_selecting = true;
    SetCapture();
}

void Edit::OnLButtonDblClk(unsigned, Point point)
{
    // Selects the word under the pointer.
    SetFocus();
    const std::string& text = GetText();
    std::size_t pos = PosAt(point);
    std::size_t begin = pos, end = pos;
    auto isWord = [&](std::size_t i) {
        return i < text.size() && text[i] != ' ' && text[i] != '\r' && text[i] != '\n';
    };
    while (begin > 0 && isWord(begin - 1)) {
        --begin;
    }
    while (isWord(end)) {
        ++end;
    }
    m_anchor = begin;
    m_caret = end;
    ScrollToCaret();
    Invalidate();
    OfferPrimary();
}

void Edit::OnMouseMove(unsigned flags, Point point)
{
    if (m_selecting && (flags & MK_LBUTTON)) {
        MoveCaret(PosAt(point), true);
    }
}

void Edit::OnLButtonUp(unsigned, Point)
{
    if (m_selecting) {
        m_selecting = false;
        ReleaseCapture();
        OfferPrimary();
    }
}

void Edit::OnMButtonDown(unsigned, Point point)
{
    SetFocus();
    MoveCaret(PosAt(point), false);
    RequestPaste(Selection::Primary);
}

void Edit::OnTimer(unsigned id)
{
    if (id == kCaretTimer) {
        m_caretShown = !m_caretShown;
        Invalidate();
    }
}

void Edit::OnSetFocus(Window*)
{
    ShowCaret();
    NotifyParent(EN_SETFOCUS);
}

void Edit::OnKillFocus(Window*)
{
    m_selecting = false;
    m_caretShown = false;
    KillTimer(kCaretTimer);
    Invalidate();
    NotifyParent(EN_KILLFOCUS);
}

} // namespace tolvar::ui
