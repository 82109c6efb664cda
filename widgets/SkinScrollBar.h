#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Window.h"
#include "widgets/ScrollInfo.h"

#include <memory>

namespace tolvar {

// A vertical scroll bar drawn from eleven bitmaps: arrows, a track and a
// thumb of three pieces. It keeps its own range, page and position, sends
// every change to its target window as WM_VSCROLL (position << 16 | code,
// lParam = the bar's handle), repeats a held arrow, and hides itself while
// there is nothing to scroll.
class CSkinScrollBar : public ui::Window
{
public:
    enum class Hit
    {
        Nothing,
        UpArrow,
        DownArrow,
        PageUp,
        PageDown,
        Thumb
    };
    static constexpr unsigned kRepeatTimerId = 100;
    static constexpr unsigned kRepeatMs = 50;

    // Bitmap ids: up arrow, up pressed, down arrow, down pressed, track, thumb
    // top, top dragging, thumb middle, middle dragging, thumb bottom, bottom
    // dragging.
    CSkinScrollBar(int upId, int upPressedId, int downId, int downPressedId, int trackId, int topId,
                   int topDragId, int middleId, int middleDragId, int bottomId, int bottomDragId);
    ~CSkinScrollBar() override;

    bool Create(unsigned id, ui::Window* parent, ui::Window* target, int x, int y);

    // 1 when done; 0 for a missing record or one whose size is below 28.
    int SetScrollInfo(const ScrollInfo* info, bool redraw);
    int GetScrollInfo(ScrollInfo* info, unsigned mask) const;
    int SetScrollPos(int position, bool redraw); // returns the previous position
    int GetScrollPos() const { return m_position; }

    Hit HitTest(gfx::Point client) const;
    const gfx::Rect& ThumbRect() const { return m_thumbRect; }
    const gfx::Rect& TrackRect() const { return m_trackRect; }
    const gfx::Rect& UpArrowRect() const { return m_upArrowRect; }
    const gfx::Rect& DownArrowRect() const { return m_downArrowRect; }
    int BarWidth() const { return m_width; }
    int BarHeight() const { return m_height; }
    bool IsThumbDragging() const { return m_thumbDragging != 0; }

protected:
    void OnPaint(gfx::Painter& painter) override;
    void OnLButtonDown(unsigned flags, gfx::Point point) override;
    void OnLButtonDblClk(unsigned flags, gfx::Point point) override;
    void OnLButtonUp(unsigned flags, gfx::Point point) override;
    void OnMouseMove(unsigned flags, gfx::Point point) override;
    void OnCaptureChanged(ui::Window* gainsCapture) override;
    void OnTimer(unsigned id) override;

private:
    void UpdateThumb();
    int ThumbLength() const;
    void Notify(unsigned code);
    void EndTracking();
    void Compose();

    int m_repeatTicks = 0;
    int m_grabOffset = 0;
    int m_minimumThumb = 0;
    int m_end = 0;
    int m_minimum = 0;
    int m_page = 0;
    int m_position = 0;
    int m_thumbDragging = 0;
    int m_downPressed = 0;
    int m_upPressed = 0;
    WindowHandle m_target = kNoWindow;
    gfx::Rect m_trackRect;
    gfx::Rect m_upArrowRect;
    gfx::Rect m_downArrowRect;
    gfx::Rect m_thumbRect;
    int m_width = 0;
    int m_height = 0;
    gfx::Bitmap m_upPicture;
    gfx::Bitmap m_upPressedPicture;
    gfx::Bitmap m_downPicture;
    gfx::Bitmap m_downPressedPicture;
    gfx::Bitmap m_trackPicture;
    gfx::Bitmap m_topPicture;
    gfx::Bitmap m_topDragPicture;
    gfx::Bitmap m_middlePicture;
    gfx::Bitmap m_middleDragPicture;
    gfx::Bitmap m_bottomPicture;
    gfx::Bitmap m_bottomDragPicture;
    std::unique_ptr<gfx::Bitmap> m_backBuffer;
};

} // namespace tolvar
