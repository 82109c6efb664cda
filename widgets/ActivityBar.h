#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Static.h"

#include <cstdint>
#include <functional>

namespace tolvar {

// A bar that plays a looping fill while a job runs: a lit and an unlit
// picture of the same bar, split at the fill point. A timer of the UI thread
// advances the fill by elapsed time every 50 ms (empty to full in 5 seconds,
// in hundredths) and repaints it, as the scroll bar repeats on its timer.
class CActivityBar : public ui::Static
{
public:
    // A high-resolution counter: ticks now, and ticks per second.
    struct Counter
    {
        std::function<std::int64_t()> now;
        std::int64_t frequency;
    };
    static Counter SteadyCounter();

    static constexpr unsigned kTimerId = 1;
    static constexpr unsigned kPassMs = 50;
    static constexpr float kCycleSeconds = 5.0f;

    CActivityBar(int x, int y, int filledId, int emptyId, Counter counter = SteadyCounter());

    // Creates the control as a child of parent (where the template's control
    // would be bound), then Initialise places it.
    bool Create(ui::Window& parent, unsigned id);
    // Moves and sizes the control to (x, y, width, height) and empties it.
    void Initialise();
    void Start();
    // Empties the bar at once; the animation ends at its next pass, so a
    // Start before then goes on with the same cycle.
    void Stop();

    bool IsRunning() const { return m_running; }
    float Fill() const { return m_fill; }
    float Elapsed() const { return m_elapsed; }
    // Lit columns for a fill fraction: the lit part grows from the left edge.
    static int FillWidth(int width, float fill);
    // Columns past the fill width over which the lit picture fades out.
    static constexpr int kSoftEdge = 8;
    // One pass of the animation at counter value now.
    void Step(std::int64_t now);

    // An animation, busy while it plays.
    ui::AccessibleInfo Describe() const override;

protected:
    void OnPaint(gfx::Painter& painter) override;
    void OnTimer(unsigned id) override;

private:
    gfx::Bitmap m_filledPicture;
    gfx::Bitmap m_emptyPicture;
    int m_x;
    int m_y;
    int m_width;
    int m_height;
    Counter m_counter;
    std::int64_t m_lastCounter = 0;
    float m_stepSeconds = 0.0f;
    float m_elapsed = 0.0f;
    unsigned m_steps = 100;
    float m_fill = 0.0f;
    bool m_running = false;
    bool m_stopRequested = false;
};

} // namespace tolvar
