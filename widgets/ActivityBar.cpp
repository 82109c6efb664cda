// The animation thread runs a pass every 50 ms: it ends if a stop was asked
// for, otherwise it adds the time since its last pass to the cycle, sets the
// fill to the whole hundredths of the cycle done, and posts the control a
// repaint request, which the UI thread serves like any other message. The
// thread touches only the bar's numbers and its window handle; a request for
// a window that is gone is dropped.
#include "widgets/ActivityBar.h"

#include "platform/ui/WindowSystem.h"
#include "resources/Resources.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tolvar {

CActivityBar::Counter CActivityBar::SteadyCounter()
{
    return {[] {
                return static_cast<std::int64_t>(
                    std::chrono::steady_clock::now().time_since_epoch().count());
            },
            static_cast<std::int64_t>(std::chrono::steady_clock::period::den /
                                      std::chrono::steady_clock::period::num)};
}

CActivityBar::CActivityBar(int x, int y, int filledId, int emptyId, Counter counter)
    : m_filledPicture(LoadBitmapResource(filledId)), m_emptyPicture(LoadBitmapResource(emptyId)),
      m_x(x), m_y(y), m_width(m_filledPicture.Width()), m_height(m_filledPicture.Height()),
      m_counter(std::move(counter))
{
}

CActivityBar::~CActivityBar()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_stopRequested = true;
    }
    m_window = kNoWindow;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CActivityBar::Create(ui::Window& parent, unsigned id)
{
    if (!ui::Window::Create(&parent, gfx::Rect::FromSize(m_x, m_y, m_width, m_height), id)) {
        return false;
    }
    m_window = Handle();
    return true;
}

void CActivityBar::Initialise()
{
    MoveWindow(gfx::Rect::FromSize(m_x, m_y, m_width, m_height));
    m_fill = 0.0f;
}

bool CActivityBar::IsRunning() const
{
    std::lock_guard lock(m_stateMutex);
    return m_threadRunning;
}

void CActivityBar::Start()
{
    ui::NotifyAccess(*this, ui::AccessibleEvent::StateChanged);
    {
        std::lock_guard lock(m_stateMutex);
        m_stopRequested = false;
        if (m_threadRunning) {
            return; // a pending stop is cancelled and the cycle goes on
        }
        m_threadRunning = true;
    }
    // A thread that ended is past its last use of the bar; collect it.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_fill = 1.0f;
    m_elapsed = 0.0f;
    m_steps = 100;
    m_lastCounter = m_counter.now();
    m_thread = std::thread(&CActivityBar::Animate, this);
}

void CActivityBar::Stop()
{
    ui::NotifyAccess(*this, ui::AccessibleEvent::StateChanged);
    m_fill = 0.0f;
    if (IsWindow()) {
        RedrawWindow();
    }
    std::lock_guard lock(m_stateMutex);
    m_stopRequested = true;
}

void CActivityBar::Step(std::int64_t now)
{
    const std::int64_t last = m_lastCounter.exchange(now);
    const float step = static_cast<float>(now - last) / static_cast<float>(m_counter.frequency);
    m_stepSeconds = step;
    float elapsed = m_elapsed + step;
    if (elapsed > kCycleSeconds) {
        elapsed = kCycleSeconds;
        m_lastCounter = now;
    }
    m_fill = std::trunc(elapsed * 0.2f * 100.0f) / static_cast<float>(m_steps);
    if (elapsed == kCycleSeconds) {
        elapsed = 0.0f; // full for this pass; the next cycle starts from empty
    }
    m_elapsed = elapsed;
}

void CActivityBar::Animate()
{
    for (;;) {
        {
            // The last repaint is asked for before the bar counts as idle,
            // so whoever sees it idle finds the empty picture on its way.
            std::lock_guard lock(m_stateMutex);
            if (m_stopRequested) {
                m_stopRequested = false;
                m_fill = 0.0f;
                RequestRepaint();
                m_threadRunning = false;
                return;
            }
        }
        Step(m_counter.now());
        RequestRepaint();
        std::this_thread::sleep_for(kPass);
    }
}

void CActivityBar::RequestRepaint()
{
    const WindowHandle window = m_window.load();
    if (window != kNoWindow) {
        ui::PostMessage(window, kRepaintMessage);
    }
}

LResult CActivityBar::OnMessage(unsigned message, WParam wParam, LParam lParam)
{
    if (message == kRepaintMessage) {
        RedrawWindow();
        return 0;
    }
    return ui::Static::OnMessage(message, wParam, lParam);
}

int CActivityBar::FillWidth(int width, float fill)
{
    if (fill >= 1.0f) {
        return width;
    }
    if (fill <= 0.0f) {
        return 0;
    }
    return static_cast<int>((width - 10) * fill + 5);
}

// The lit part ends in a short fade into the unlit picture, as the skin's
// glows do, rather than on a hard edge.
void CActivityBar::OnPaint(gfx::Painter& painter)
{
    const int lit = FillWidth(m_width, m_fill);
    if (lit > 0) {
        painter.DrawBitmap({0, 0}, m_filledPicture, {0, 0, lit, m_height});
    }
    const int faded = lit > 0 ? std::min(m_width, lit + kSoftEdge) : lit;
    if (faded > lit) {
        gfx::Bitmap edge(faded - lit, m_height);
        for (int x = lit; x < faded; ++x) {
            const unsigned weight = static_cast<unsigned>(256 * (faded - x) / (kSoftEdge + 1));
            for (int y = 0; y < m_height; ++y) {
                const gfx::Color on = m_filledPicture.Pixel(x, y), off = m_emptyPicture.Pixel(x, y);
                auto mix = [&](unsigned a, unsigned b) {
                    return (a * weight + b * (256 - weight)) >> 8;
                };
                edge.SetPixel(x - lit, y,
                              gfx::Rgb(mix(gfx::Red(on), gfx::Red(off)),
                                       mix(gfx::Green(on), gfx::Green(off)),
                                       mix(gfx::Blue(on), gfx::Blue(off))));
            }
        }
        painter.DrawBitmap({lit, 0}, edge);
    }
    if (faded < m_width) {
        painter.DrawBitmap({faded, 0}, m_emptyPicture, {faded, 0, m_width, m_height});
    }
}

} // namespace tolvar
