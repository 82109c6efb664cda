#include "tests/ui/UiFixture.h"

#include "platform/base/UiThread.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowSystemImpl.h" // to see when a sent message is queued

#include <atomic>
#include <thread>
#include <vector>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

constexpr unsigned kAppMessage = 0x8001;

class Receiver : public Window
{
public:
    std::vector<unsigned> timers;
    std::vector<LParam> received;
    std::thread::id handledOn;
    bool clicked = false;

protected:
    void OnTimer(unsigned id) override { timers.push_back(id); }
    void OnLButtonUp(unsigned, Point) override { clicked = true; }
    LResult OnMessage(unsigned msg, WParam w, LParam l) override
    {
        if (msg != kAppMessage) {
            return 0;
        }
        handledOn = std::this_thread::get_id();
        received.push_back(l);
        return static_cast<LResult>(w) * 2;
    }
};

class Box : public Dialog
{
public:
    Box() : Dialog({200, 100}) {}
    std::function<void()> onInit;

protected:
    bool OnInitDialog() override
    {
        if (onInit) {
            onInit();
        }
        return true;
    }
};

} // namespace

class LoopTest : public test::UiTest
{
};

TEST_F(LoopTest, WorkerSendWaitsForTheResultAndIsServedInsideAModalDialog)
{
    Receiver main;
    ASSERT_TRUE(main.Create(nullptr, Rect::FromSize(0, 0, 300, 200)));
    WindowHandle handle = main.Handle();
    std::atomic<LResult> result{-1};
    std::atomic<bool> workerDone{false};
    std::thread worker;

    Box box;
    bool stillOpenWhenServed = false;
    box.onInit = [&] {
        // The worker starts while the box is modal and sends to the main
        // window, which is disabled by the box: sent messages still arrive.
        worker = std::thread([&] {
            result = SendMessage(handle, kAppMessage, 21, 7);
            workerDone = true;
        });
        PostTask([&] {
            system->RunUntil([&] { return workerDone.load(); });
            stillOpenWhenServed = box.IsModal();
            box.EndDialog(IDC_OK);
        });
    };
    int answer = box.DoModal(&main);
    worker.join();
    EXPECT_EQ(answer, IDC_OK);
    EXPECT_EQ(result.load(), 42);
    EXPECT_TRUE(stillOpenWhenServed);
    ASSERT_EQ(main.received, (std::vector<LParam>{7}));
    EXPECT_EQ(main.handledOn, std::this_thread::get_id());
    EXPECT_TRUE(main.IsWindowEnabled()); // enabled again after the box
}

TEST_F(LoopTest, SendToAWindowDestroyedBeforeServingGivesZero)
{
    auto gone = std::make_unique<Receiver>();
    ASSERT_TRUE(gone->Create(nullptr, Rect::FromSize(0, 0, 10, 10)));
    WindowHandle handle = gone->Handle();
    std::atomic<LResult> result{-1};
    std::thread worker([&] { result = SendMessage(handle, kAppMessage, 1, 0); });
    // Wait until the message is queued, then destroy the window before the
    // loop serves it.
    while (true) {
        std::lock_guard lock(system->Internals().queueMutex);
        if (!system->Internals().sent.empty()) {
            break;
        }
    }
    gone.reset();
    EXPECT_TRUE(system->RunUntil([&] { return result.load() != -1; }));
    worker.join();
    EXPECT_EQ(result.load(), 0);
}

TEST_F(LoopTest, PostedMessagesArriveInOrderInvokeRunsOnTheUiThreadAndRunEndsWithTheQuitCode)
{
    Receiver main;
    ASSERT_TRUE(main.Create(nullptr, Rect::FromSize(0, 0, 10, 10)));
    std::thread worker([&] {
        for (int i = 1; i <= 5; ++i) {
            PostMessage(main.Handle(), kAppMessage, 0, i);
        }
        std::thread::id ranOn;
        InvokeOnUiThread([&] { ranOn = std::this_thread::get_id(); });
        PostMessage(main.Handle(), kAppMessage, 0, ranOn == std::this_thread::get_id() ? -1 : 99);
    });
    EXPECT_TRUE(system->RunUntil([&] { return main.received.size() == 6; }));
    worker.join();
    EXPECT_EQ(main.received, (std::vector<LParam>{1, 2, 3, 4, 5, 99}));
    PostTask([&] { system->Quit(3); });
    EXPECT_EQ(system->Run(), 3);
}

// A task that runs a nested loop lets it serve what was queued behind it;
// what the task posts still waits for the next pass, so the modal loop of a
// dialog the task ended is left first.
TEST_F(LoopTest, WorkPostedDuringAPassWaitsForTheNextOneEvenWhenANestedLoopServedTheRest)
{
    Box box;
    bool ranWhileOpen = false;
    PostTask([&] {
        system->RunPending(); // serves the task below
        box.EndDialog(1);
        PostTask([&] { ranWhileOpen = box.IsWindow(); });
    });
    PostTask([] {});
    box.DoModal();
    system->RunPending();
    EXPECT_FALSE(ranWhileOpen);
}

TEST_F(LoopTest, TimersFollowTheClockAndStopWhenKilled)
{
    Receiver w;
    ASSERT_TRUE(w.Create(nullptr, Rect::FromSize(0, 0, 10, 10)));
    EXPECT_EQ(w.SetTimer(100, 50), 100u);
    w.SetTimer(0, 200);
    Advance(49);
    EXPECT_TRUE(w.timers.empty());
    Advance(1);
    EXPECT_EQ(w.timers, (std::vector<unsigned>{100}));
    Advance(150);
    // 100 at 50, 100, 150, 200 and 0 at 200; a late loop does not catch up
    // with a burst, it fires once.
    EXPECT_EQ(std::count(w.timers.begin(), w.timers.end(), 100u), 2);
    EXPECT_EQ(std::count(w.timers.begin(), w.timers.end(), 0u), 1);
    w.timers.clear();
    Advance(50);
    EXPECT_EQ(w.timers, (std::vector<unsigned>{100}));
    EXPECT_TRUE(w.KillTimer(100));
    EXPECT_FALSE(w.KillTimer(100));
    w.timers.clear();
    Advance(1000);
    EXPECT_EQ(w.timers, (std::vector<unsigned>{0}));
    // Setting a running timer restarts its period.
    w.timers.clear();
    Advance(150);
    w.SetTimer(0, 200);
    Advance(100);
    EXPECT_TRUE(w.timers.empty());
    Advance(100);
    EXPECT_EQ(w.timers, (std::vector<unsigned>{0}));
}

TEST_F(LoopTest, ModalLoopsNestAndEachEndsOnItsOwnCondition)
{
    Receiver main;
    ASSERT_TRUE(main.Create(nullptr, Rect::FromSize(0, 0, 300, 200)));
    Box outer, inner;
    std::vector<int> order;
    bool outerDisabledMeanwhile = false;
    inner.onInit = [&] {
        outerDisabledMeanwhile = !outer.IsWindowEnabled() && !main.IsWindowEnabled();
        PostTask([&] { inner.EndDialog(5); });
    };
    outer.onInit = [&] {
        PostTask([&] {
            order.push_back(inner.DoModal(&outer));
            EXPECT_TRUE(outer.IsModal());
            EXPECT_TRUE(outer.IsWindowEnabled());
            EXPECT_FALSE(main.IsWindowEnabled());
            PostTask([&] { outer.EndDialog(6); });
        });
    };
    order.push_back(outer.DoModal(&main));
    EXPECT_EQ(order, (std::vector<int>{5, 6}));
    EXPECT_TRUE(outerDisabledMeanwhile);
    EXPECT_FALSE(outer.IsWindow());
    EXPECT_TRUE(main.IsWindowEnabled());
}

TEST_F(LoopTest, AModalLoopEndedByInputReturnsWithoutWaitingForAnotherEvent)
{
    // Ends a modal loop from an input handler alone, with no wake-up of its
    // own, as a popup menu or a drag does when the button goes up.
    Receiver window;
    ASSERT_TRUE(window.Create(nullptr, Rect::FromSize(10, 10, 100, 100)));
    Pump();
    display->Click({50, 50});
    // The clock is manual and nothing else is queued: a loop that slept after
    // dispatching the click would never wake, and the watchdog would end it.
    system->RunModalLoop([&] { return !window.clicked; });
    EXPECT_TRUE(window.clicked);
}
