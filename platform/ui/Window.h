#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Painter.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Region.h"
#include "platform/ui/Accessible.h"
#include "platform/ui/WindowMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::ui {

using gfx::Point;
using gfx::Rect;
using gfx::Size;

enum class ShowCommand
{
    Hide = 0,
    Show = 5,
    Minimize = 6, // top-level: iconified by the desktop, still counted as shown
    Restore = 9
};

// What kind of top-level window a parentless window becomes.
enum class TopLevelKind
{
    Normal, // borderless, with a taskbar entry; takes the keyboard
    Popup,  // menus and tool tips: no taskbar entry, never takes the keyboard
};

struct WindowStyle
{
    bool visible = true;
    bool tabStop = false; // Tab in a dialog stops here
    TopLevelKind topLevel = TopLevelKind::Normal;
};

// A message as the loop carries it (MSG): the handle it is for, the message
// and its parameters, the pointer's screen position and the clock's time.
struct Message
{
    WindowHandle window = kNoWindow;
    unsigned message = WM_NULL;
    WParam wParam = 0;
    LParam lParam = 0;
    Point screenPoint;
    std::uint32_t time = 0;
};

enum class CtlColorKind
{
    Static,
    Edit,
    Button
};

// What a parent tells a child control to draw with (WM_CTLCOLOR): text colour,
// background mode and colour, and the brush the control fills its face with
// (hollow: the control paints no face and shows its parent through).
struct ControlColors
{
    gfx::Color text = gfx::Rgb(0, 0, 0);
    gfx::BackgroundMode mode = gfx::BackgroundMode::Opaque;
    gfx::Color background = gfx::Rgb(255, 255, 255);
    gfx::Brush brush = gfx::Brush::Solid(gfx::Rgb(255, 255, 255));
};

// A window: a rectangle of its top-level window's frame with input, timers,
// focus and children. Derive and override the handlers; every message goes
// through WindowProc, which calls them. The C++ object owns the window: it
// is destroyed with the object (or earlier by Destroy), and its handle then
// stops naming anything, so late messages for it are dropped.
//
// Everything here must be used on the UI thread. Other threads name windows
// by handle and use SendMessage / PostMessage (WindowSystem.h).
class Window
{
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates the window. With a parent, rect is in the parent's client
    // coordinates and the window is a child; without one, rect is in screen
    // coordinates and the window is a top-level window with its own frame.
    // Sends WM_CREATE (OnCreate); returns false if that refuses.
    bool Create(Window* parent, const Rect& rect, unsigned id = 0, WindowStyle style = {});
    void Destroy(); // destroys the children first; OnDestroy runs while the window still exists

    bool IsWindow() const { return m_handle != kNoWindow; }
    WindowHandle Handle() const { return m_handle; }
    static Window* FromHandle(WindowHandle handle); // UI thread; nullptr when gone
    Window* Parent() const { return m_parent; }
    Window* TopLevel(); // the top-level window this one is in (itself for one)
    bool IsTopLevel() const { return IsWindow() && m_parent == nullptr; }
    TopLevelKind GetTopLevelKind() const { return m_style.topLevel; }
    const std::vector<Window*>& Children() const { return m_children; }
    unsigned GetDlgCtrlID() const { return m_id; }
    Window* GetDlgItem(unsigned id) const;
    bool IsTabStop() const { return m_style.tabStop; }
    void SetTabStop(bool tabStop) { m_style.tabStop = tabStop; }

    // Geometry. GetWindowRect is in screen coordinates; GetRectInParent in
    // the parent's client coordinates (screen for a top-level window).
    Rect GetWindowRect() const;
    Rect GetRectInParent() const { return m_rect; }
    Rect GetClientRect() const { return {0, 0, m_rect.Width(), m_rect.Height()}; }
    void MoveWindow(const Rect& rectInParent, bool repaint = true);
    void SetWindowPos(Point topLeftInParent); // move without resizing
    void SetWindowSize(Size size);            // resize without moving
    Point ClientToScreen(Point p) const;
    Point ScreenToClient(Point p) const;
    Rect ClientRectToScreen(const Rect& r) const;

    // Visibility: a window is drawn and gets input while it and all its
    // ancestors are shown.
    bool ShowWindow(ShowCommand command); // returns whether it was visible before
    bool IsVisible() const { return m_visible; }
    bool IsWindowVisible() const;
    bool IsIconic() const { return m_iconic; }
    void BringWindowToTop(); // top-level windows: above the others

    // Enabling sends WM_ENABLE (OnEnable) when the state changes. A disabled
    // window, or one inside a disabled window, gets no mouse or key input;
    // disabling the window that has the focus or the capture takes it away.
    bool EnableWindow(bool enable); // returns whether it was disabled before
    bool IsWindowEnabled() const { return m_enabled; }
    bool IsEnabledWithAncestors() const;

    // Keyboard focus: one window at a time; WM_KILLFOCUS reaches the old one
    // before WM_SETFOCUS reaches the new one.
    Window* SetFocus(); // returns the window that had it
    static Window* GetFocus();
    bool HasFocus() const { return GetFocus() == this; }

    // Mouse capture: while set, every mouse message goes to this window,
    // wherever the pointer is. Releasing sends WM_CAPTURECHANGED.
    Window* SetCapture(); // returns the window that had it
    static bool ReleaseCapture();
    static Window* GetCapture();

    // Timers post WM_TIMER with the id every period on the window system's
    // clock. Setting an id that runs restarts it. Returns id, 0 on failure.
    unsigned SetTimer(unsigned id, unsigned periodMs);
    bool KillTimer(unsigned id);

    // Hover and leave notifications (_TrackMouseEvent): WM_MOUSEHOVER once the
    // pointer rests within 4 pixels for hoverMs, WM_MOUSELEAVE when it leaves
    // the window. Each request gives one of each; TME_CANCEL cancels.
    bool TrackMouseEvent(unsigned flags, unsigned hoverMs = HOVER_DEFAULT);

    // The window's shape (SetWindowRgn), in window coordinates. Outside it
    // nothing is drawn on screen and the mouse reaches the windows below.
    void SetWindowRgn(std::optional<gfx::Region> region, bool redraw = false);
    const std::optional<gfx::Region>& GetWindowRgn() const { return m_region; }

    // Painting. Invalidate marks a part for the next paint pass, which runs
    // when the loop has nothing else to do; UpdateWindow paints what is
    // marked at once and puts it on the screen. RedrawWindow does both.
    void Invalidate();
    void InvalidateRect(const Rect& clientRect);
    void UpdateWindow();
    void RedrawWindow();

    void SetWindowText(const std::string& text);
    const std::string& GetWindowText() const { return m_text; }
    void SetFont(gfx::FontPtr font, bool redraw = true);
    gfx::FontPtr GetFont() const;            // the default font when none was set
    void SetTitle(const std::string& title); // top-level: the taskbar text
    void SetIcon(const gfx::Bitmap& icon);   // top-level: the taskbar and switcher picture

    // Sends WM_COMMAND (id, code) to the parent, as controls notify.
    LResult NotifyParent(unsigned code);
    LResult SendMessage(unsigned message, WParam wParam = 0, LParam lParam = 0);

    // The pointer's position on the screen, and the window under it:
    // visible, inside its region, the deepest child (disabled ones included,
    // as WindowFromPoint does).
    static Point GetCursorPos();
    static Window* WindowFromPoint(Point screen);
    Window* ChildWindowFromPoint(Point client) const; // deepest visible child, or this

    // The message procedure: decodes the message and calls the handler.
    // Override to see every message; call Window::WindowProc for the rest.
    virtual LResult WindowProc(unsigned message, WParam wParam, LParam lParam);
    // Input messages pass through the target and then each ancestor before
    // dispatch; returning true consumes the message.
    virtual bool PreTranslateMessage(Message& message);
    // Dialog navigation asks the focused control whether it takes a key
    // itself (WM_GETDLGCODE): a multi-line edit takes Enter.
    virtual bool WantsDialogKey(unsigned virtualKey) const;

    // A child control asks its parent for colours (WM_CTLCOLOR). The default
    // leaves the control's own colours.
    virtual void OnCtlColor(Window& control, CtlColorKind kind, ControlColors& colors);

    // What assistive technology is told of the window (Accessible.h). The
    // default is a panel named by SetAccessibleName, else by the window text.
    virtual AccessibleInfo Describe() const;
    // Runs action index of Describe().actions; false when there is none.
    virtual bool DoAccessibleAction(int index);
    // Items the window draws itself: the children of parent (0: the top
    // ones), what each is (false for an item that is gone), and its actions.
    virtual std::vector<AccessibleItem> AccessibleItems(AccessibleItem parent) const;
    virtual bool DescribeItem(AccessibleItem item, AccessibleInfo& info) const;
    virtual bool DoItemAction(AccessibleItem item, int index);
    // Text that assistive technology may read and replace (edits).
    virtual bool GetAccessibleText(std::string& text) const;
    virtual bool SetAccessibleText(const std::string& text);
    void SetAccessibleName(std::string name);
    const std::string& GetAccessibleName() const { return m_accessibleName; }

protected:
    virtual bool OnCreate() { return true; }
    virtual void OnDestroy() {}
    // Paint the window; the painter is clipped and translated to its client
    // rectangle (and narrowed to the part that needs painting). Children
    // paint after their parent.
    virtual void OnPaint(gfx::Painter& painter);
    virtual void OnMouseMove(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnLButtonDown(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnLButtonUp(unsigned flags, Point point) { (void)flags, (void)point; }
    // A second press within the double-click time and distance. By default
    // it is handled as a plain press.
    virtual void OnLButtonDblClk(unsigned flags, Point point) { OnLButtonDown(flags, point); }
    virtual void OnRButtonDown(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnRButtonUp(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnMButtonDown(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnMButtonUp(unsigned flags, Point point) { (void)flags, (void)point; }
    // delta: multiples of 120 per notch, positive away from the user; the
    // point is in screen coordinates. Wheel messages go to the window under
    // the pointer (or the capture); return false to pass the message to the
    // parent.
    virtual bool OnMouseWheel(unsigned flags, int delta, Point screen);
    virtual void OnMouseHover(unsigned flags, Point point) { (void)flags, (void)point; }
    virtual void OnMouseLeave() {}
    virtual void OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags);
    virtual void OnKeyUp(unsigned virtualKey, unsigned repeat, unsigned flags);
    virtual void OnChar(char32_t character, unsigned repeat, unsigned flags);
    virtual void OnTimer(unsigned id) { (void)id; }
    virtual void OnSetFocus(Window* lostFocus) { (void)lostFocus; }
    virtual void OnKillFocus(Window* gainsFocus) { (void)gainsFocus; }
    virtual void OnCaptureChanged(Window* gainsCapture) { (void)gainsCapture; }
    virtual void OnEnable(bool enabled) { (void)enabled; }
    virtual void OnShowWindow(bool shown) { (void)shown; }
    virtual void OnSize(Size size) { (void)size; }
    virtual void OnMove(Point topLeftInParent) { (void)topLeftInParent; }
    // The top-level window is asked to close (Alt+F4, the window manager).
    // The default does nothing; a dialog cancels.
    virtual void OnClose() {}
    // WM_COMMAND from a child control or a menu; return true when handled.
    virtual bool OnCommand(unsigned id, unsigned code, WindowHandle from);
    // Every other message, application messages among them.
    virtual LResult OnMessage(unsigned message, WParam wParam, LParam lParam);

private:
    friend class WindowSystem;
    friend struct WindowAccess;

    void TakeCaptureAndFocusFromInside();

    WindowHandle m_handle = kNoWindow;
    Window* m_parent = nullptr;
    std::vector<Window*> m_children; // bottom to top
    Rect m_rect;                     // in the parent's client coordinates
    unsigned m_id = 0;
    WindowStyle m_style;
    bool m_visible = false;
    bool m_iconic = false;
    bool m_enabled = true;
    std::string m_text;
    gfx::FontPtr m_font;
    std::optional<gfx::Region> m_region;
    bool m_redraw = true; // WM_SETREDRAW
    std::string m_accessibleName;
};

} // namespace tolvar::ui
