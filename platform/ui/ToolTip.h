#pragma once

#include "platform/gfx/Color.h"
#include "platform/ui/Window.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvar::ui {

enum ToolTipDelay : unsigned
{
    TTDT_AUTOMATIC = 0,
    TTDT_RESHOW = 1,
    TTDT_AUTOPOP = 2,
    TTDT_INITIAL = 3
};

// A tool tip over one or more tool windows. When the pointer rests over a
// tool for the initial delay, the tip asks for its text (a callback given the
// tool and the pointer in the tool's client coordinates; an empty text shows
// nothing) and shows it next to the pointer, as a balloon with a stem or a
// plain box. It hides after the auto-pop delay, when the pointer leaves the
// tool, on a click, or on Pop. Moving again within the reshow delay after a
// tip hid shows the next one after the reshow delay instead of the initial.
class ToolTip : public Window
{
public:
    enum class Style
    {
        Balloon,
        Rectangle
    };
    using TextCallback = std::function<std::string(Window& tool, Point client)>;

    ToolTip();
    ~ToolTip() override;

    bool Create(Window* owner, Style style = Style::Balloon);
    void AddTool(Window* tool, TextCallback text);
    void AddTool(Window* tool, const std::string& text);
    void RemoveTool(Window* tool);
    // TTDT_AUTOMATIC sets initial = ms, auto-pop = 10 x ms, reshow = ms / 5.
    void SetDelayTime(unsigned which, unsigned ms);
    unsigned GetDelayTime(unsigned which) const;
    void SetTipBkColor(gfx::Color color);
    void SetTipTextColor(gfx::Color color);
    void SetMaxTipWidth(int width);
    void Pop();
    // Pops the tip and, with the pointer still over a tool, asks that tool
    // again after the reshow delay: for a tool whose text depends on where
    // in it the pointer is.
    void Update();
    AccessibleInfo Describe() const override; // the tip shown
    bool IsShown() const { return IsWindow() && IsVisible(); }
    const std::string& ShownText() const { return m_shownText; }

protected:
    void OnPaint(gfx::Painter& painter) override;
    void OnTimer(unsigned id) override;

private:
    struct Tool
    {
        WindowHandle handle;
        TextCallback text;
    };
    void Observe(const Message& message);
    Tool* ToolAt(WindowHandle handle);
    void Show(Tool& tool);
    void Hide();

    Window* m_owner = nullptr;
    Style m_style = Style::Balloon;
    std::vector<Tool> m_tools;
    int m_observer = 0;
    unsigned m_initial = 500;
    unsigned m_autoPop = 5000;
    unsigned m_reshow = 100;
    gfx::Color m_background = gfx::Rgb(255, 255, 225);
    gfx::Color m_textColor = gfx::Rgb(0, 0, 0);
    int m_maxWidth = -1;
    WindowHandle m_pendingTool = kNoWindow;
    Point m_lastPoint;
    std::string m_shownText;
    std::uint32_t m_hiddenAt = 0;
    bool m_recentlyShown = false;
};

} // namespace tolvar::ui
