#pragma once

#include "platform/ui/Window.h"

namespace tolvar::ui {

// A text label. It asks its parent for colours (CtlColorKind::Static): with
// a hollow brush and a transparent background the text is drawn straight
// over the parent's picture. Text that does not fit is clipped.
class Static : public Window
{
public:
    // format: gfx::TextFormat flags; the default centres and wraps words.
    void SetTextFormat(unsigned format);
    unsigned GetTextFormat() const { return m_format; }
    // A bitmap static (STM_SETIMAGE): shows the picture at its top-left
    // instead of the text; a null bitmap goes back to the text.
    void SetBitmap(gfx::Bitmap bitmap);
    const gfx::Bitmap& GetBitmap() const { return m_bitmap; }
    AccessibleInfo Describe() const override; // a label, or a picture

protected:
    void OnPaint(gfx::Painter& painter) override;

private:
    unsigned m_format = gfx::kTextCenter | gfx::kTextWordBreak;
    gfx::Bitmap m_bitmap;
};

} // namespace tolvar::ui
