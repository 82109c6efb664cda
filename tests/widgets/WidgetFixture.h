#pragma once

#include "platform/ui/Clock.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "resources/Resources.h"

#include "tests/ui/UiFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tolvar::test {

// A plain top-level window that records the scroll and command
// notifications its children send it.
class RecordingWindow : public ui::Window
{
public:
    struct Scroll
    {
        unsigned code;
        int position;
        LParam from;
    };
    std::vector<Scroll> scrolls;
    std::vector<unsigned> commands;

protected:
    void OnPaint(gfx::Painter& p) override { p.FillRect(GetClientRect(), gfx::Rgb(1, 23, 64)); }
    bool OnCommand(unsigned id, unsigned, WindowHandle) override
    {
        commands.push_back(id);
        return true;
    }
    LResult OnMessage(unsigned message, WParam w, LParam l) override
    {
        if (message == ui::WM_VSCROLL) {
            scrolls.push_back({ui::LoWord(w), static_cast<int>(ui::HiWord(w)), l});
            return 0;
        }
        return ui::Window::OnMessage(message, w, l);
    }
};

// Whether the part of shot at (x, y) is exactly picture (or its part source).
inline ::testing::AssertionResult ShowsPicture(const gfx::Bitmap& shot, gfx::Point at,
                                               const gfx::Bitmap& picture, gfx::Rect source = {})
{
    if (source.IsEmpty()) {
        source = picture.Bounds();
    }
    for (int y = source.top; y < source.bottom; ++y) {
        for (int x = source.left; x < source.right; ++x) {
            const int sx = at.x + x - source.left, sy = at.y + y - source.top;
            if (sx < 0 || sy < 0 || sx >= shot.Width() || sy >= shot.Height()) {
                return ::testing::AssertionFailure() << "outside the shot at " << sx << "," << sy;
            }
            if (!gfx::SameRgb(shot.Pixel(sx, sy), picture.Pixel(x, y))) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " of the picture differs at " << sx << ","
                       << sy;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace tolvar::test
