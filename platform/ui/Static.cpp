#include "platform/ui/Static.h"

namespace tolvar::ui {

void Static::SetTextFormat(unsigned format)
{
    m_format = format;
    Invalidate();
}

void Static::SetBitmap(gfx::Bitmap bitmap)
{
    m_bitmap = std::move(bitmap);
    Invalidate();
}

void Static::OnPaint(gfx::Painter& painter)
{
    if (!m_bitmap.IsNull()) {
        painter.DrawBitmap({0, 0}, m_bitmap);
        return;
    }
    ControlColors colors;
    colors.background = gfx::Rgb(240, 240, 240);
    colors.brush = gfx::Brush::Solid(colors.background);
    if (Parent() != nullptr) {
        Parent()->OnCtlColor(*this, CtlColorKind::Static, colors);
    }
    painter.FillRect(GetClientRect(), colors.brush);
    painter.SetTextColor(colors.text);
    painter.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    painter.DrawText(GetClientRect(), GetWindowText(), m_format);
}

} // namespace tolvar::ui
