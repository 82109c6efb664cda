#pragma once

#include "platform/ui/Clipboard.h"
#include "platform/ui/Window.h"

#include <cstddef>
#include <string>

namespace tolvar::ui {

enum EditStyle : unsigned
{
    kEditSingleLine = 0x0,
    kEditMultiLine = 0x1,
    kEditAutoHScroll = 0x2,
    kEditWantReturn = 0x4, // multi-line: Enter inserts a line break
    kEditNoHideSel = 0x8,  // keep showing the selection without the focus
    kEditReadOnly = 0x10,
};

// A text box, single- or multi-line, with a caret and a selection. Keys:
// characters replace the selection; Backspace, Delete, Left, Right, Up, Down,
// Home, End (Shift extends the selection, Ctrl+A selects all); Enter breaks
// a line in a multi-line box with kEditWantReturn. Ctrl+X, Ctrl+C and Ctrl+V
// (and Shift+Delete, Ctrl+Insert, Shift+Insert) cut, copy and paste through
// the desktop's clipboard; a selection made is offered as the primary
// selection, and the middle button pastes that at the pointer. The caret
// blinks while the box has the focus. The parent hears EN_CHANGE
// after each change, EN_SETFOCUS and EN_KILLFOCUS through WM_COMMAND, and
// gives colours through OnCtlColor (CtlColorKind::Edit).
//
// Text is the program's single-byte text; when it is valid UTF-8 the caret
// moves by whole characters. Positions are byte offsets.
class Edit : public Window
{
public:
    explicit Edit(unsigned style = kEditSingleLine | kEditAutoHScroll);

    unsigned GetStyle() const { return m_style; }
    // Text set from code notifies EN_CHANGE too, as the original does.
    void SetText(const std::string& text);
    const std::string& GetText() const { return GetWindowText(); }
    // start..end, end -1 = the end of the text; SetSel(0, -1) selects all.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
    std::size_t GetCaret() const { return m_caret; }
    void ReplaceSel(const std::string& text);
    void Cut();
    void Copy() const;
    void Paste(); // the clipboard's text arrives a moment later
    bool IsCaretShown() const { return m_caretShown; }
    static constexpr unsigned kCaretBlinkMs = 530;
    void SetLimitText(std::size_t limit) { m_limit = limit; } // 0: none

    bool WantsDialogKey(unsigned virtualKey) const override;
    // An editable text named by its accessible name (its label), whose
    // text can be read and replaced.
    AccessibleInfo Describe() const override;
    bool SetAccessibleText(const std::string& text) override;

protected:
    void OnPaint(gfx::Painter& painter) override;
    void OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags) override;
    void OnChar(char32_t character, unsigned repeat, unsigned flags) override;
    void OnLButtonDown(unsigned flags, Point point) override;
    void OnLButtonDblClk(unsigned flags, Point point) override;
    void OnMouseMove(unsigned flags, Point point) override;
    void OnLButtonUp(unsigned flags, Point point) override;
    void OnMButtonDown(unsigned flags, Point point) override;
    void OnTimer(unsigned id) override;
    void OnSetFocus(Window* lostFocus) override;
    void OnKillFocus(Window* gainsFocus) override;

private:
    struct Line
    {
        std::size_t begin;
        std::size_t end; // excluding the line break
    };
    std::vector<Line> Lines() const;
    std::size_t LineOf(std::size_t pos) const;
    std::size_t Next(std::size_t pos) const;
    std::size_t Prev(std::size_t pos) const;
    int XOf(std::size_t pos) const; // pixel offset within its line
    std::size_t PosAt(Point client) const;
    void MoveCaret(std::size_t pos, bool extend);
    void Replace(std::size_t from, std::size_t to, const std::string& text);
    void ScrollToCaret();
    void Changed();
    int LineHeight() const;
    std::string SelectedText() const; // as UTF-8 with plain line feeds
    void OfferPrimary() const;
    void RequestPaste(Selection which);
    void InsertPasted(const std::string& utf8);
    void ShowCaret(); // visible now, the blink starts over

    unsigned m_style;
    std::size_t m_anchor = 0; // the fixed end of the selection
    std::size_t m_caret = 0;  // the moving end, where the caret is
    std::size_t m_limit = 0;
    int m_scrollX = 0;
    int m_firstLine = 0;
    bool m_selecting = false;
    bool m_caretShown = false;
};

} // namespace tolvar::ui
