#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Window.h"

#include <optional>

namespace tolvar::ui {

// A push button drawn from pictures (CBitmapButton): normal, selected
// (pressed), focused and disabled. Missing pictures fall back to the normal
// one. A press and a release inside it, or Space while it has the focus,
// sends WM_COMMAND (id, BN_CLICKED) to the parent. While pressed with the
// pointer inside, the selected picture shows.
//
// Subclasses that handle mouse messages call the base handlers so pressing
// keeps working.
class BitmapButton : public Window
{
public:
    // Copies the pictures; any may be null.
    bool LoadBitmaps(const gfx::Bitmap* normal, const gfx::Bitmap* selected = nullptr,
                     const gfx::Bitmap* focused = nullptr, const gfx::Bitmap* disabled = nullptr);
    // Resizes the button to its normal picture, keeping its position.
    void SizeToContent();
    bool IsPressed() const { return m_pressed && m_pointerInside; }

    enum class Face
    {
        Normal,
        Selected,
        Focused,
        Disabled
    };
    Face CurrentFace() const;

    // The focus came by the keyboard (Tab): a dotted frame shows it, and
    // Enter presses the button as Space does, until the focus goes.
    void ShowKeyboardFocus();
    bool HasKeyboardFocus() const { return m_keyboardFocus && HasFocus(); }
    bool WantsDialogKey(unsigned virtualKey) const override;

    // A push button whose one action presses it.
    AccessibleInfo Describe() const override;
    bool DoAccessibleAction(int index) override;

protected:
    void OnPaint(gfx::Painter& painter) override;
    // Draws one face; the default copies the picture for it.
    virtual void DrawItem(gfx::Painter& painter, Face face);
    void OnLButtonDown(unsigned flags, Point point) override;
    void OnLButtonUp(unsigned flags, Point point) override;
    void OnMouseMove(unsigned flags, Point point) override;
    void OnCaptureChanged(Window* gainsCapture) override;
    void OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags) override;
    void OnKeyUp(unsigned virtualKey, unsigned repeat, unsigned flags) override;
    void OnSetFocus(Window* lostFocus) override;
    void OnKillFocus(Window* gainsFocus) override;
    void OnEnable(bool enabled) override;

private:
    const gfx::Bitmap* PictureFor(Face face) const;

    std::optional<gfx::Bitmap> m_normal;
    std::optional<gfx::Bitmap> m_selected;
    std::optional<gfx::Bitmap> m_focused;
    std::optional<gfx::Bitmap> m_disabled;
    bool m_pressed = false;       // the mouse button went down on us
    bool m_pointerInside = false; // ...and the pointer is over us
    bool m_spaceDown = false;
    bool m_keyboardFocus = false;
};

} // namespace tolvar::ui
