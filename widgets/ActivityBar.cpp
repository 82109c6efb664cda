// Each pass of the bar's UI timer (50 ms) ends the animation if a stop was
// asked for; otherwise it adds the time since the last pass to the cycle,
// sets the fill to the whole hundredths of the cycle done and repaints.
#include "widgets/ActivityBar.h"

#include "resources/Resources.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

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

bool CActivityBar::Create(ui::Window& parent, unsigned id)
{
    return ui::Window::Create(&parent, gfx::Rect::FromSize(m_x, m_y, m_width, m_height), id);
}

void CActivityBar::Initialise()
{
    MoveWindow(gfx::Rect::FromSize(m_x, m_y, m_width, m_height));
    m_fill = 0.0f;
}

void CActivityBar::Start()
{
    ui::NotifyAccess(*this, ui::AccessibleEvent::StateChanged);
    m_stopRequested = false;
    if (m_running) {
        return; // a pending stop is cancelled and the cycle goes on
    }
    m_running = true;
    m_fill = 1.0f;
    m_elapsed = 0.0f;
    m_steps = 100;
    m_lastCounter = m_counter.now();
    SetTimer(kTimerId, kPassMs);
}

void CActivityBar::Stop()
{
    ui::NotifyAccess(*this, ui::AccessibleEvent::StateChanged);
    m_fill = 0.0f;
    if (IsWindow()) {
        RedrawWindow();
    }
    m_stopRequested = m_running;
}

void CActivityBar::Step(std::int64_t now)
{
    const std::int64_t last = std::exchange(m_lastCounter, now);
    m_stepSeconds = static_cast<float>(now - last) / static_cast<float>(m_counter.frequency);
    float elapsed = m_elapsed + m_stepSeconds;
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

void CActivityBar::OnTimer(unsigned id)
{
    if (id != kTimerId) {
        ui::Static::OnTimer(id);
        return;
    }
    if (m_stopRequested) {
        m_stopRequested = false;
        m_running = false;
        m_fill = 0.0f;
        KillTimer(kTimerId);
    } else {
        Step(m_counter.now());
    }
    RedrawWindow();
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
        // k: pixels per layout pixel of the pictures (their detail has 2).
        auto fade = [&](const gfx::Bitmap& filled, const gfx::Bitmap& empty, int k) {
            gfx::Bitmap edge((faded - lit) * k, m_height * k);
            for (int x = lit * k; x < faded * k; ++x) {
                const unsigned weight =
                    static_cast<unsigned>(256 * (faded * k - x) / ((kSoftEdge + 1) * k));
                for (int y = 0; y < m_height * k; ++y) {
                    const gfx::Color on = filled.Pixel(x, y), off = empty.Pixel(x, y);
                    auto mix = [&](unsigned a, unsigned b) {
                        return (a * weight + b * (256 - weight)) >> 8;
                    };
                    edge.SetPixel(x - lit * k, y,
                                  gfx::Rgb(mix(gfx::Red(on), gfx::Red(off)),
                                           mix(gfx::Green(on), gfx::Green(off)),
                                           mix(gfx::Blue(on), gfx::Blue(off))));
                }
            }
            return edge;
        };
        gfx::Bitmap edge = fade(m_filledPicture, m_emptyPicture, 1);
        if (m_filledPicture.Detail() != nullptr && m_emptyPicture.Detail() != nullptr) {
            edge.SetDetail(fade(*m_filledPicture.Detail(), *m_emptyPicture.Detail(), 2));
        }
        painter.DrawBitmap({lit, 0}, edge);
    }
    if (faded < m_width) {
        painter.DrawBitmap({faded, 0}, m_emptyPicture, {faded, 0, m_width, m_height});
    }
}

} // namespace tolvar
