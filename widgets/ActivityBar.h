#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Static.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tolvar {

// A bar that plays a looping fill while a job runs: a lit and an unlit
// picture of the same bar, split at the fill point. An animation thread
// advances the fill by elapsed time every 50 ms (empty to full in 5 seconds,
// in hundredths) and asks the UI thread to repaint; it never paints itself.
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

    static constexpr unsigned kRepaintMessage = ui::WM_USER + 0x51;
    static constexpr auto kPass = std::chrono::milliseconds(50);
    static constexpr float kCycleSeconds = 5.0f;

    CActivityBar(int x, int y, int filledId, int emptyId, Counter counter = SteadyCounter());
    ~CActivityBar() override;

    // Creates the control as a child of parent (where the template's control
    // would be bound), then Initialise places it.
    bool Create(ui::Window& parent, unsigned id);
    // Moves and sizes the control to (x, y, width, height) and empties it.
    void Initialise();
    void Start();
    void Stop();

    bool IsRunning() const;
    float Fill() const { return m_fill.load(); }
    float Elapsed() const { return m_elapsed.load(); }
    // Lit columns for a fill fraction: the lit part grows from the left edge.
    static int FillWidth(int width, float fill);
    // Columns past the fill width over which the lit picture fades out.
    static constexpr int kSoftEdge = 8;
    // One pass of the animation at counter value now (the thread's step 2).
    void Step(std::int64_t now);

    // An animation, busy while it plays.
    ui::AccessibleInfo Describe() const override;

protected:
    void OnPaint(gfx::Painter& painter) override;
    LResult OnMessage(unsigned message, WParam wParam, LParam lParam) override;

private:
    void Animate();
    void RequestRepaint();

    gfx::Bitmap m_filledPicture;
    gfx::Bitmap m_emptyPicture;
    int m_x;
    int m_y;
    int m_width;
    int m_height;
    Counter m_counter;
    std::atomic<std::int64_t> m_lastCounter{0};
    std::atomic<float> m_stepSeconds{0.0f};
    std::atomic<float> m_elapsed{0.0f};
    unsigned m_steps = 100;
    std::atomic<float> m_fill{0.0f};
    std::thread m_thread;
    // Start, Stop and the thread's last pass agree through this lock, so a
    // Start right after a Stop never lands between the thread deciding to
    // end and its ending.
    mutable std::mutex m_stateMutex;
    bool m_threadRunning = false;
    bool m_stopRequested = false;
    std::atomic<WindowHandle> m_window{kNoWindow};
};

} // namespace tolvar
