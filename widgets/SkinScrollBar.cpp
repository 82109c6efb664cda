// The bar keeps range, page and position like the platform's scroll-bar
// information; after every change UpdateThumb clamps the position and works
// out the thumb from them. Painting composes the whole bar in a back buffer
// kept from the first paint, so the pressed arrows (a row shorter) leave the
// row below them as it was.
#include "widgets/SkinScrollBar.h"

#include "platform/ui/WindowSystem.h"
#include "resources/Resources.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace tolvar {

namespace {

constexpr int kRepeatFirstTick = 5;  // 250 ms before the first repeat
constexpr int kRepeatEveryTicks = 2; // then every 100 ms

} // namespace

CSkinScrollBar::CSkinScrollBar(int upId, int upPressedId, int downId, int downPressedId,
                               int trackId, int topId, int topDragId, int middleId,
                               int middleDragId, int bottomId, int bottomDragId)
    : m_upPicture(LoadBitmapResource(upId)), m_upPressedPicture(LoadBitmapResource(upPressedId)),
      m_downPicture(LoadBitmapResource(downId)),
      m_downPressedPicture(LoadBitmapResource(downPressedId)),
      m_trackPicture(LoadBitmapResource(trackId)), m_topPicture(LoadBitmapResource(topId)),
      m_topDragPicture(LoadBitmapResource(topDragId)),
      m_middlePicture(LoadBitmapResource(middleId)),
      m_middleDragPicture(LoadBitmapResource(middleDragId)),
      m_bottomPicture(LoadBitmapResource(bottomId)),
      m_bottomDragPicture(LoadBitmapResource(bottomDragId))
{
    m_minimumThumb = m_topPicture.Height() + m_bottomPicture.Height();
    m_upArrowRect = {0, 0, m_upPicture.Width(), m_upPicture.Height()};
    m_trackRect = gfx::Rect::FromSize(0, m_upPicture.Height(), m_trackPicture.Width(),
                                      m_trackPicture.Height());
    m_downArrowRect = gfx::Rect::FromSize(0, m_upPicture.Height() + m_trackPicture.Height(),
                                          m_downPicture.Width(), m_downPicture.Height());
    m_width = m_upPicture.Width();
    m_height = m_upPicture.Height() + m_trackPicture.Height() + m_downPicture.Height();
    m_thumbRect = m_trackRect;
}

CSkinScrollBar::~CSkinScrollBar() = default;

bool CSkinScrollBar::Create(unsigned id, ui::Window* parent, ui::Window* target, int x, int y)
{
    SetWindowText("Scrollbar");
    m_target = target ? target->Handle() : kNoWindow;
    return ui::Window::Create(parent, gfx::Rect::FromSize(x, y, m_width, m_height), id);
}

int CSkinScrollBar::SetScrollInfo(const ScrollInfo* info, bool redraw)
{
    if (!info || info->cbSize < sizeof(ScrollInfo)) {
        return 0;
    }
    if (info->fMask & SIF_PAGE) {
        m_page = static_cast<int>(info->nPage);
    }
    if (info->fMask & SIF_POS) {
        m_position = info->nPos;
    }
    if (info->fMask & SIF_TRACKPOS) {
        m_position = info->nTrackPos;
    }
    if (info->fMask & SIF_RANGE) {
        m_minimum = info->nMin;
        m_end = info->nMax + 1;
    }
    UpdateThumb();
    if (redraw) {
        RedrawWindow();
    }
    return 1;
}

int CSkinScrollBar::GetScrollInfo(ScrollInfo* info, unsigned mask) const
{
    if (!info || info->cbSize < sizeof(ScrollInfo)) {
        return 0;
    }
    if (mask & SIF_PAGE) {
        info->nPage = static_cast<unsigned>(m_page);
    }
    if (mask & SIF_POS) {
        info->nPos = m_position;
    }
    if (mask & SIF_TRACKPOS) {
        info->nTrackPos = m_position;
    }
    if (mask & SIF_RANGE) {
        info->nMin = m_minimum;
        info->nMax = m_end - 1;
    }
    return 1;
}

int CSkinScrollBar::SetScrollPos(int position, bool redraw)
{
    const int previous = m_position;
    m_position = position;
    UpdateThumb();
    if (redraw) {
        RedrawWindow();
    }
    return previous;
}

int CSkinScrollBar::ThumbLength() const
{
    // 64-bit products: a range of millions of rows must not overflow.
    const std::int64_t span = static_cast<std::int64_t>(m_end) - m_minimum;
    if (span <= 0) {
        return m_trackRect.Height();
    }
    const std::int64_t length = static_cast<std::int64_t>(m_trackRect.Height()) * m_page / span;
    return static_cast<int>(std::max<std::int64_t>(length, m_minimumThumb));
}

void CSkinScrollBar::UpdateThumb()
{
    if (m_minimum > m_end) {
        std::swap(m_minimum, m_end);
    }
    if (m_page < 0) {
        m_page = 0;
    }
    const std::int64_t lastTop = static_cast<std::int64_t>(m_end) - m_page;
    if (m_position < m_minimum) {
        m_position = m_minimum;
    }
    if (m_position > lastTop) {
        m_position = static_cast<int>(lastTop);
    }
    if (m_position < 0) {
        m_position = 0;
    }
    const std::int64_t span = static_cast<std::int64_t>(m_end) - m_minimum;
    if (span <= m_page) {
        m_thumbRect = m_trackRect;
        m_position = 0;
        if (IsWindow()) {
            ShowWindow(ui::ShowCommand::Hide);
        }
        return;
    }
    if (IsWindow()) {
        ShowWindow(ui::ShowCommand::Show);
    }
    const int length = ThumbLength();
    const std::int64_t travel = static_cast<std::int64_t>(m_trackRect.Height()) - length;
    const int top =
        m_trackRect.top + static_cast<int>(travel * (m_position - m_minimum) / (span - m_page));
    m_thumbRect = {0, top, m_trackRect.Width(), top + length};
}

CSkinScrollBar::Hit CSkinScrollBar::HitTest(gfx::Point p) const
{
    if (m_upArrowRect.Contains(p)) {
        return Hit::UpArrow;
    }
    if (m_downArrowRect.Contains(p)) {
        return Hit::DownArrow;
    }
    if (!m_trackRect.Contains(p)) {
        return Hit::Nothing;
    }
    if (p.y < m_thumbRect.top) {
        return Hit::PageUp;
    }
    if (p.y < m_thumbRect.bottom) {
        return Hit::Thumb;
    }
    return Hit::PageDown;
}

void CSkinScrollBar::Notify(unsigned code)
{
    if (m_target == kNoWindow) {
        return;
    }
    const WParam wParam = (static_cast<WParam>(static_cast<unsigned>(m_position)) << 16) | code;
    ui::SendMessage(m_target, ui::WM_VSCROLL, wParam, static_cast<LParam>(Handle()));
}

void CSkinScrollBar::OnLButtonDown(unsigned, gfx::Point point)
{
    unsigned code = 0;
    switch (HitTest(point)) {
    case Hit::PageUp:
        m_position -= m_page;
        UpdateThumb();
        code = SB_PAGEUP;
        break;
    case Hit::PageDown:
        m_position += m_page;
        UpdateThumb();
        code = SB_PAGEDOWN;
        break;
    case Hit::Thumb:
        m_grabOffset = point.y - m_thumbRect.top;
        m_thumbDragging = 1;
        SetCapture();
        code = SB_THUMBTRACK;
        break;
    case Hit::UpArrow:
        m_position -= 1;
        m_upPressed = 1;
        m_repeatTicks = 0;
        SetTimer(kRepeatTimerId, kRepeatMs);
        SetCapture();
        UpdateThumb();
        code = SB_LINEUP;
        break;
    case Hit::DownArrow:
        m_position += 1;
        m_downPressed = 1;
        m_repeatTicks = 0;
        SetTimer(kRepeatTimerId, kRepeatMs);
        SetCapture();
        UpdateThumb();
        code = SB_LINEDOWN;
        break;
    case Hit::Nothing:
        return;
    }
    RedrawWindow();
    Notify(code);
}

void CSkinScrollBar::OnLButtonDblClk(unsigned flags, gfx::Point point)
{
    OnLButtonDown(flags, point);
}

void CSkinScrollBar::OnMouseMove(unsigned, gfx::Point point)
{
    if (!m_thumbDragging) {
        return;
    }
    const int before = m_position;
    const std::int64_t span = static_cast<std::int64_t>(m_end) - m_minimum;
    const std::int64_t travel = static_cast<std::int64_t>(m_trackRect.Height()) - ThumbLength();
    if (span > m_page && travel > 0) {
        const std::int64_t offset = point.y - m_trackRect.top - m_grabOffset;
        const std::int64_t position = (span - m_page) * offset / travel;
        // Far outside the track the product may leave int; UpdateThumb clamps the rest.
        m_position = static_cast<int>(std::clamp<std::int64_t>(position, INT32_MIN, INT32_MAX));
    } else {
        m_position = 0;
    }
    UpdateThumb();
    RedrawWindow();
    if (m_position != before) {
        Notify(SB_THUMBTRACK);
    }
}

// Clears the drag or the held arrow and stops the repeat.
void CSkinScrollBar::EndTracking()
{
    if (m_upPressed || m_downPressed) {
        m_upPressed = 0;
        m_downPressed = 0;
        KillTimer(kRepeatTimerId);
    }
    m_thumbDragging = 0;
}

void CSkinScrollBar::OnLButtonUp(unsigned, gfx::Point)
{
    if (m_thumbDragging) {
        m_thumbDragging = 0;
        ReleaseCapture();
        RedrawWindow();
        Notify(SB_THUMBPOSITION);
        return;
    }
    if (m_upPressed || m_downPressed) {
        EndTracking();
        ReleaseCapture();
    }
    RedrawWindow();
}

void CSkinScrollBar::OnCaptureChanged(ui::Window* gainsCapture)
{
    if (gainsCapture == this) {
        return;
    }
    if (m_thumbDragging || m_upPressed || m_downPressed) {
        EndTracking();
        RedrawWindow();
    }
}

void CSkinScrollBar::OnTimer(unsigned id)
{
    if (id != kRepeatTimerId) {
        return;
    }
    ++m_repeatTicks;
    if (m_repeatTicks < kRepeatFirstTick ||
        (m_repeatTicks - kRepeatFirstTick) % kRepeatEveryTicks) {
        return;
    }
    const int before = m_position;
    if (m_downPressed) {
        m_position += 1;
        UpdateThumb();
        if (m_position != before) {
            Notify(SB_LINEDOWN);
        }
    } else if (m_upPressed) {
        m_position -= 1;
        UpdateThumb();
        if (m_position != before) {
            Notify(SB_LINEUP);
        }
    }
    RedrawWindow();
}

void CSkinScrollBar::Compose()
{
    gfx::Painter p(*m_backBuffer);
    p.DrawBitmap(m_upArrowRect.TopLeft(), m_upPressed ? m_upPressedPicture : m_upPicture);
    p.DrawBitmap(m_trackRect.TopLeft(), m_trackPicture);
    p.DrawBitmap(m_downArrowRect.TopLeft(), m_downPressed ? m_downPressedPicture : m_downPicture);

    const bool dragging = m_thumbDragging != 0;
    const gfx::Bitmap& top = dragging ? m_topDragPicture : m_topPicture;
    const gfx::Bitmap& middle = dragging ? m_middleDragPicture : m_middlePicture;
    const gfx::Bitmap& bottom = dragging ? m_bottomDragPicture : m_bottomPicture;
    p.TileBitmap(m_thumbRect, middle);
    p.DrawBitmap(m_thumbRect.TopLeft(), top);
    p.DrawBitmap({m_thumbRect.left, m_thumbRect.bottom - bottom.Height()}, bottom);
}

void CSkinScrollBar::OnPaint(gfx::Painter& painter)
{
    if (!m_backBuffer) {
        m_backBuffer = std::make_unique<gfx::Bitmap>(
            gfx::Bitmap::ForScale(std::max(m_width, 1), std::max(m_height, 1), painter.Scale()));
    }
    Compose();
    painter.DrawBitmap({0, 0}, *m_backBuffer);
}

} // namespace tolvar
