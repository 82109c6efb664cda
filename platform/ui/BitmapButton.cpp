#include "platform/ui/BitmapButton.h"

namespace tolvar::ui {

bool BitmapButton::LoadBitmaps(const gfx::Bitmap* normal, const gfx::Bitmap* selected,
                               const gfx::Bitmap* focused, const gfx::Bitmap* disabled)
{
    auto copy = [](const gfx::Bitmap* b) {
        return b != nullptr && !b->IsNull() ? std::optional<gfx::Bitmap>(*b) : std::nullopt;
    };
    m_normal = copy(normal);
    m_selected = copy(selected);
    m_focused = copy(focused);
    m_disabled = copy(disabled);
    Invalidate();
    return m_normal.has_value();
}

void BitmapButton::SizeToContent()
{
    if (m_normal) {
        SetWindowSize(m_normal->GetSize());
    }
}

BitmapButton::Face BitmapButton::CurrentFace() const
{
    if (!IsWindowEnabled()) {
        return Face::Disabled;
    }
    if (IsPressed() || m_spaceDown) {
        return Face::Selected;
    }
    if (HasFocus() && m_focused) {
        return Face::Focused;
    }
    return Face::Normal;
}

const gfx::Bitmap* BitmapButton::PictureFor(Face face) const
{
    const std::optional<gfx::Bitmap>* pick = &m_normal;
    switch (face) {
    case Face::Selected:
        pick = &m_selected;
        break;
    case Face::Focused:
        pick = &m_focused;
        break;
    case Face::Disabled:
        pick = &m_disabled;
        break;
    case Face::Normal:
        break;
    }
    if (!pick->has_value()) {
        pick = &m_normal;
    }
    return pick->has_value() ? &**pick : nullptr;
}

void BitmapButton::OnPaint(gfx::Painter& painter)
{
    DrawItem(painter, CurrentFace());
    if (HasKeyboardFocus()) {
        painter.DrawFocusRect(GetClientRect().Inflate(-6, -5)); // inside the rounded face
    }
}

void BitmapButton::ShowKeyboardFocus()
{
    m_keyboardFocus = true;
    Invalidate();
}

bool BitmapButton::WantsDialogKey(unsigned virtualKey) const
{
    return virtualKey == VK_RETURN && HasKeyboardFocus();
}

void BitmapButton::DrawItem(gfx::Painter& painter, Face face)
{
    if (const gfx::Bitmap* picture = PictureFor(face)) {
        painter.DrawBitmap({0, 0}, *picture);
    }
}

void BitmapButton::OnLButtonDown(unsigned, Point)
{
    m_keyboardFocus = false; // a click shows no focus frame
    SetFocus();
    m_pressed = true;
    m_pointerInside = true;
    SetCapture();
    RedrawWindow();
}

void BitmapButton::OnMouseMove(unsigned, Point point)
{
    if (!m_pressed) {
        return;
    }
    bool inside = GetClientRect().Contains(point);
    if (inside != m_pointerInside) {
        m_pointerInside = inside;
        RedrawWindow();
    }
}

void BitmapButton::OnLButtonUp(unsigned, Point point)
{
    if (!m_pressed) {
        return;
    }
    bool click = m_pointerInside && GetClientRect().Contains(point);
    m_pressed = false;
    m_pointerInside = false;
    if (GetCapture() == this) {
        ReleaseCapture();
    }
    RedrawWindow();
    if (click) {
        NotifyParent(BN_CLICKED); // may destroy us: nothing after this
    }
}

void BitmapButton::OnCaptureChanged(Window*)
{
    if (m_pressed) {
        m_pressed = false;
        m_pointerInside = false;
        Invalidate();
    }
}

void BitmapButton::OnKeyDown(unsigned virtualKey, unsigned, unsigned)
{
    if (virtualKey == VK_RETURN && HasKeyboardFocus()) {
        NotifyParent(BN_CLICKED); // may destroy us: nothing after this
        return;
    }
    if (virtualKey == VK_SPACE && !m_spaceDown) {
        m_spaceDown = true;
        RedrawWindow();
    }
}

void BitmapButton::OnKeyUp(unsigned virtualKey, unsigned, unsigned)
{
    if (virtualKey == VK_SPACE && m_spaceDown) {
        m_spaceDown = false;
        RedrawWindow();
        NotifyParent(BN_CLICKED);
    }
}

void BitmapButton::OnSetFocus(Window*)
{
    Invalidate();
}

void BitmapButton::OnKillFocus(Window*)
{
    m_spaceDown = false;
    m_keyboardFocus = false;
    Invalidate();
}

void BitmapButton::OnEnable(bool)
{
    Invalidate();
}

} // namespace tolvar::ui
