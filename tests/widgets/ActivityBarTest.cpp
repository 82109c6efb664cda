#include "widgets/ActivityBar.h"

#include "tests/widgets/WidgetFixture.h"

#include <atomic>
#include <memory>

namespace tolvar::test {
namespace {

// A counter the test moves: 1000 ticks a second.
struct FakeCounter
{
    std::shared_ptr<std::atomic<std::int64_t>> ticks =
        std::make_shared<std::atomic<std::int64_t>>(0);
    CActivityBar::Counter Get() const
    {
        auto t = ticks;
        return {[t] { return t->load(); }, 1000};
    }
    void Advance(std::int64_t ms) const { *ticks += ms; }
};

// Counts the bar's paints.
class WatchedBar : public CActivityBar
{
public:
    using CActivityBar::CActivityBar;
    int Paints() const { return m_paints; }

protected:
    void OnPaint(gfx::Painter& painter) override
    {
        ++m_paints;
        CActivityBar::OnPaint(painter);
    }

private:
    int m_paints = 0;
};

class ActivityBarTest : public UiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(nullptr, gfx::Rect::FromSize(0, 0, 700, 200)));
        ASSERT_TRUE(bar.Create(owner, 1018));
        bar.Initialise();
        Pump();
    }
    // Columns [from, to) of the captured bar against one of its pictures.
    ::testing::AssertionResult Lit(int from, int to, bool lit)
    {
        const gfx::Bitmap& picture = lit ? filled : empty;
        return ShowsPicture(system->CaptureWindow(bar), {from, 0}, picture, {from, 0, to, 25});
    }

    RecordingWindow owner;
    FakeCounter counter;
    WatchedBar bar{0, 136, 198, 197, counter.Get()};
    const gfx::Bitmap filled = LoadBitmapResource(198);
    const gfx::Bitmap empty = LoadBitmapResource(197);
};

TEST_F(ActivityBarTest, TheUiTimerFillsWholeHundredthsOfAFiveSecondCycleAndStopEmptiesIt)
{
    bar.Start();
    EXPECT_TRUE(bar.IsRunning());
    counter.Advance(1000);
    const int before = bar.Paints();
    Advance(CActivityBar::kPassMs);
    EXPECT_GT(bar.Paints(), before);
    EXPECT_FLOAT_EQ(bar.Fill(), 0.2f);
    // A fifth of the bar lit from its left edge, a soft edge, then the rest empty.
    EXPECT_TRUE(Lit(0, 189 / 5 - 2, true));
    EXPECT_TRUE(Lit(189 / 5 + 12, 189, false));
    // Past the end of the cycle the bar is full for one pass, then starts
    // from empty again.
    const std::pair<std::int64_t, float> passes[] = {
        {500, 0.30f}, {1234, 0.54f}, {2000, 0.94f}, {4000, 1.0f}, {60, 0.01f}};
    for (const auto& [ms, fill] : passes) {
        counter.Advance(ms);
        Advance(CActivityBar::kPassMs);
        EXPECT_FLOAT_EQ(bar.Fill(), fill) << "after " << ms << " ms more: whole hundredths only";
    }

    bar.Stop();
    EXPECT_EQ(bar.Fill(), 0.0f);
    EXPECT_TRUE(Lit(0, 189, false)) << "emptied at once";
    Advance(CActivityBar::kPassMs);
    EXPECT_FALSE(bar.IsRunning());
    EXPECT_TRUE(Lit(0, 189, false));
}

TEST_F(ActivityBarTest, StartAndStopInAnyOrderKeepTheCycle)
{
    // Placed with its picture's size and shown empty; a Stop when idle
    // repaints it empty and a Start still runs.
    EXPECT_EQ(bar.GetRectInParent(), gfx::Rect::FromSize(0, 136, 189, 25));
    bar.Stop();
    Pump();
    EXPECT_FALSE(bar.IsRunning());
    EXPECT_TRUE(Lit(0, 189, false));
    bar.Start();
    counter.Advance(2000);
    Advance(CActivityBar::kPassMs);
    EXPECT_FLOAT_EQ(bar.Elapsed(), 2.0f);
    bar.Start();
    EXPECT_FLOAT_EQ(bar.Elapsed(), 2.0f) << "a second Start does not restart the cycle";
    bar.Stop();
    bar.Start();
    EXPECT_TRUE(bar.IsRunning());
    counter.Advance(500);
    Advance(CActivityBar::kPassMs);
    EXPECT_FLOAT_EQ(bar.Elapsed(), 2.5f) << "the same cycle goes on after Stop and Start";
}

} // namespace
} // namespace tolvar::test
