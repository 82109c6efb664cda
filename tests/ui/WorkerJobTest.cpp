// Worker jobs against the UI thread: closing while a job waits on the UI
// thread, and work handed to the UI thread that throws.
#include "tests/ui/UiFixture.h"

#include "platform/base/QueuedUiInvoker.h"
#include "platform/base/UiThread.h"
#include "platform/base/WorkerJob.h"
#include "platform/ui/Window.h"

#include <atomic>
#include <stdexcept>
#include <string>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

constexpr unsigned kAsk = 0x8001;
constexpr unsigned kThrow = 0x8002;

class Target : public Window
{
public:
    int asked = 0;

protected:
    LResult OnMessage(unsigned msg, WParam, LParam) override
    {
        if (msg == kThrow) {
            throw std::runtime_error("handler failed");
        }
        return msg == kAsk ? ++asked : 0;
    }
};

// What a sender on another thread saw of one throwing piece of work.
std::string Outcome(const std::function<void()>& send)
{
    try {
        send();
        return "returned";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

} // namespace

class WorkerJobTest : public test::UiTest
{
protected:
    WorkerJobTest() { target.Create(nullptr, gfx::Rect::FromSize(0, 0, 50, 50)); }
    Target target;
};

TEST_F(WorkerJobTest, DestroyedOnTheUiThreadWhileTheJobWaitsThereServesItToTheEnd)
{
    for (bool bySend : {false, true}) {
        std::atomic<bool> waiting{false};
        std::atomic<int> servedAfterCancel{0};
        const WindowHandle handle = target.Handle();
        auto job = std::make_unique<WorkerJob>();
        job->Start([&](WorkerJob& self) {
            waiting = true;
            // Keeps handing work over until it sees the cancel, as a job
            // asking the tree something would.
            while (!self.IsCancelled()) {
                if (bySend) {
                    SendMessage(handle, kAsk, 0, 0);
                } else {
                    InvokeOnUiThread([] {});
                }
            }
            if (bySend) {
                SendMessage(handle, kAsk, 0, 0);
            } else {
                InvokeOnUiThread([&] { ++servedAfterCancel; });
            }
            servedAfterCancel += bySend ? 1 : 0;
        });
        while (!waiting) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(job->IsRunning());
        job.reset(); // no loop runs here: the destructor must serve the job
        EXPECT_EQ(servedAfterCancel, 1) << (bySend ? "send" : "invoke");
    }
    EXPECT_GT(target.asked, 0);
}

TEST_F(WorkerJobTest, WorkThatThrowsOnTheUiThreadReleasesItsSenderWithTheFailure)
{
    const WindowHandle handle = target.Handle();
    std::string invoked, sent;
    std::exception_ptr jobFailure;
    WorkerJob job;
    job.Start([&](WorkerJob&) {
        invoked =
            Outcome([] { InvokeOnUiThread([] { throw std::runtime_error("work failed"); }); });
        sent = Outcome([&] { SendMessage(handle, kThrow, 0, 0); });
        SendMessage(handle, kAsk, 0, 0); // the UI thread goes on serving
        throw std::runtime_error("job failed");
    });
    ASSERT_TRUE(system->RunUntil([&] { return !job.IsRunning(); }));
    job.Wait();
    EXPECT_EQ(invoked, "work failed");
    EXPECT_EQ(sent, "handler failed");
    EXPECT_EQ(target.asked, 1);
    ASSERT_TRUE(job.Failure());
    EXPECT_EQ(Outcome([&] { std::rethrow_exception(job.Failure()); }), "job failed");

    // The same for a program without windows, whose owner pumps the queue.
    QueuedUiInvoker queue;
    std::string queued;
    job.Start([&](WorkerJob&) {
        queued =
            Outcome([] { InvokeOnUiThread([] { throw std::runtime_error("queued failed"); }); });
    });
    queue.PumpWhile([&] { return job.IsRunning(); });
    job.Wait();
    EXPECT_EQ(queued, "queued failed");
    EXPECT_FALSE(job.Failure());
}
