#pragma once

#include "platform/ui/Window.h"
#include "resources/Resources.h"
#include "tests/gfx/PictureMatch.h"
#include "tests/ui/UiFixture.h"

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

} // namespace tolvar::test
