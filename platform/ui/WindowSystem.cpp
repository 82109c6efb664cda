// The message loop. Each pass of a loop (Run, RunModalLoop, RunPending)
// does, in order: native events from the backend, turned into input
// messages and dispatched at once; messages sent from other threads (their
// senders wait); posted messages and work queued before the pass began; due
// timers and hover notifications. Only when a pass found nothing to do are
// the marked parts of the frames painted and presented, and the loop then
// sleeps in the backend until an event, a wake-up from another thread or the
// next timer. Nested loops run the same passes, so a worker's SendMessage is
// served whichever loop is innermost.
#include "platform/ui/WindowSystem.h"
#include "platform/gfx/DeviceScale.h"

#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystemImpl.h"
#include "platform/ui/access/AccessBridge.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace tolvar::ui {
namespace {

std::atomic<WindowSystem*> g_system{nullptr};

Millis Now()
{
    return GetClock().Now();
}

} // namespace

TopLevelState* WindowSystem::Impl::StateOf(const Window* topLevel)
{
    for (auto& state : topLevels) {
        if (state->window == topLevel) {
            return state.get();
        }
    }
    return nullptr;
}

WindowSystem::Impl& SystemImpl()
{
    return *&WindowSystem::Get().Internals();
}

namespace {

// Queues a call for the UI thread, wakes it and waits until it was served
// (or the system shut down). What the handler threw is thrown here.
LResult SendAndWait(WindowSystem& system, const std::shared_ptr<SentCall>& call)
{
    WindowSystem::Impl& impl = system.Internals();
    {
        std::lock_guard lock(impl.queueMutex);
        if (impl.shuttingDown) {
            return 0;
        }
        impl.sent.push_back(call);
    }
    impl.sentQueued.notify_all();
    system.GetBackend().Wake();
    std::unique_lock lock(call->mutex);
    call->cv.wait(lock, [&] { return call->done; });
    // The failure is taken out, so the exception ends its life on this
    // thread, which reads it, not on the UI thread that may free the call.
    if (std::exception_ptr failure = std::move(call->failure)) {
        lock.unlock();
        std::rethrow_exception(failure);
    }
    return call->result;
}

// Queues a message or work for the UI thread's next pass and wakes it.
bool Post(WindowSystem& system, PostedItem item)
{
    {
        std::lock_guard lock(system.Internals().queueMutex);
        if (system.Internals().shuttingDown) {
            return false;
        }
        item.number = system.Internals().postedCount++;
        system.Internals().posted.push_back(std::move(item));
    }
    system.GetBackend().Wake();
    return true;
}

} // namespace

void Invoker::Invoke(const std::function<void()>& work)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr || system->IsUiThread()) {
        work();
        return;
    }
    auto call = std::make_shared<SentCall>();
    call->work = work;
    SendAndWait(*system, call);
}

bool Invoker::IsUiThread() const
{
    WindowSystem* system = WindowSystem::Instance();
    return system != nullptr && system->IsUiThread();
}

WindowSystem::WindowSystem(std::unique_ptr<Backend> backend)
    : m_backend(std::move(backend)), m_impl(std::make_unique<Impl>())
{
    if (!m_backend) {
        throw std::invalid_argument("the window system needs a backend");
    }
    WindowSystem* expected = nullptr;
    if (!g_system.compare_exchange_strong(expected, this)) {
        throw std::logic_error("a window system is running already");
    }
    m_impl->uiThread = std::this_thread::get_id();
    m_impl->previousInvoker = SetUiInvoker(&m_impl->invoker);
    m_impl->access = StartAccessBridge(*m_backend);
}

WindowSystem::~WindowSystem()
{
    m_impl->access.reset(); // it looks windows up through us
    // Windows still alive lose their native side now; their objects may
    // outlive us and must then find no system.
    for (auto& state : m_impl->topLevels) {
        state->native.reset();
    }
    std::deque<std::shared_ptr<SentCall>> pending;
    {
        std::lock_guard lock(m_impl->queueMutex);
        m_impl->shuttingDown = true;
        pending.swap(m_impl->sent);
    }
    // Nobody will serve these: their senders get 0 instead of waiting forever.
    for (auto& call : pending) {
        std::lock_guard lock(call->mutex);
        call->done = true;
        call->cv.notify_all();
    }
    SetUiInvoker(m_impl->previousInvoker);
    {
        std::lock_guard lock(m_impl->registryMutex);
        for (auto& [handle, window] : m_impl->windows) {
            window->m_handle = kNoWindow;
            window->m_parent = nullptr;
            window->m_children.clear();
        }
        m_impl->windows.clear();
    }
    g_system = nullptr;
}

WindowSystem& WindowSystem::Get()
{
    WindowSystem* system = g_system.load();
    if (system == nullptr) {
        throw std::logic_error("no window system");
    }
    return *system;
}

WindowSystem* WindowSystem::Instance()
{
    return g_system.load();
}

bool WindowSystem::IsUiThread() const
{
    return std::this_thread::get_id() == m_impl->uiThread;
}

// ---- sending and posting ----

LResult SendMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr) {
        return 0;
    }
    if (system->IsUiThread()) {
        Window* target = Window::FromHandle(window);
        return target != nullptr ? target->WindowProc(message, wParam, lParam) : 0;
    }
    auto call = std::make_shared<SentCall>();
    call->window = window;
    call->message = message;
    call->wParam = wParam;
    call->lParam = lParam;
    return SendAndWait(*system, call);
}

bool PostMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr) {
        return false;
    }
    auto& impl = system->Internals();
    {
        std::lock_guard lock(impl.registryMutex);
        if (impl.windows.find(window) == impl.windows.end()) {
            return false;
        }
    }
    return Post(*system, {window, message, wParam, lParam, {}});
}

void PostTask(std::function<void()> work)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr) {
        return;
    }
    Post(*system, {kNoWindow, 0, 0, 0, std::move(work)});
}

void AfterFirstFrame(std::function<void()> work)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr) {
        return;
    }
    if (system->Internals().framePresented) {
        PostTask(std::move(work));
    } else {
        system->Internals().afterFirstFrame.push_back(std::move(work));
    }
}

void FramePresented(WindowSystem::Impl& impl)
{
    if (impl.framePresented) {
        return;
    }
    impl.framePresented = true;
    for (auto& work : std::exchange(impl.afterFirstFrame, {})) {
        PostTask(std::move(work));
    }
}

// ---- the loop ----

namespace {

// Messages sent and work invoked from other threads, one at a time: a
// handler may open a nested loop that serves the rest. A handler that throws
// hands its exception to the waiting sender instead of leaving it waiting.
bool ServeSent(WindowSystem::Impl& impl)
{
    bool served = false;
    for (;;) {
        std::shared_ptr<SentCall> call;
        {
            std::lock_guard lock(impl.queueMutex);
            if (impl.sent.empty()) {
                break;
            }
            call = impl.sent.front();
            impl.sent.pop_front();
        }
        served = true;
        LResult result = 0;
        std::exception_ptr failure;
        try {
            if (call->work) {
                call->work();
            } else if (Window* target = Window::FromHandle(call->window)) {
                result = target->WindowProc(call->message, call->wParam, call->lParam);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(call->mutex);
        call->result = result;
        call->failure = std::move(failure);
        call->done = true;
        call->cv.notify_all();
    }
    return served;
}

// One pass; returns whether it did anything.
bool Pass(WindowSystem& system, WindowSystem::Impl& impl)
{
    bool busy = system.GetBackend().DispatchEvents(system);

    busy = ServeSent(impl) || busy;

    // Posted items that were queued when the pass began: by number, as a
    // nested loop run by one of them may serve some of the rest.
    std::uint64_t end;
    {
        std::lock_guard lock(impl.queueMutex);
        end = impl.postedCount;
    }
    for (;;) {
        PostedItem item;
        {
            std::lock_guard lock(impl.queueMutex);
            if (impl.posted.empty() || impl.posted.front().number >= end) {
                break;
            }
            item = std::move(impl.posted.front());
            impl.posted.pop_front();
        }
        busy = true;
        if (item.task) {
            item.task();
        } else if (Window* target = Window::FromHandle(item.window)) {
            target->WindowProc(item.message, item.wParam, item.lParam);
        }
    }

    // Timers that are due, each once per pass.
    Millis now = Now();
    std::vector<std::pair<WindowHandle, unsigned>> due;
    for (TimerEntry& timer : impl.timers) {
        if (timer.due <= now) {
            due.emplace_back(timer.window, timer.id);
            timer.due = now + Millis(timer.period);
        }
    }
    for (const auto& [dueWindow, dueId] : due) {
        // Named copies: a lambda may not capture structured bindings before C++20's
        // rule reached every compiler we build with.
        const WindowHandle handle = dueWindow;
        const unsigned id = dueId;
        // The timer may have been killed by an earlier handler of this pass.
        bool alive = std::any_of(impl.timers.begin(), impl.timers.end(), [&](const TimerEntry& t) {
            return t.window == handle && t.id == id;
        });
        if (!alive) {
            continue;
        }
        if (Window* target = Window::FromHandle(handle)) {
            busy = true;
            target->WindowProc(WM_TIMER, id, 0);
        }
    }

    // Hover: the pointer rested long enough within the hover box.
    std::vector<WindowHandle> hovered;
    for (Tracking& t : impl.tracking) {
        if (t.hover && now >= t.hoverStart + Millis(t.hoverMs)) {
            t.hover = false;
            hovered.push_back(t.window);
        }
    }
    for (WindowHandle handle : hovered) {
        if (Window* target = Window::FromHandle(handle)) {
            busy = true;
            Point client = target->ScreenToClient(impl.cursor);
            target->WindowProc(WM_MOUSEHOVER,
                               impl.buttons | (impl.modifiers & (MK_SHIFT | MK_CONTROL)),
                               MakePointLParam(client.x, client.y));
        }
    }
    impl.tracking.erase(std::remove_if(impl.tracking.begin(), impl.tracking.end(),
                                       [](const Tracking& t) { return !t.hover && !t.leave; }),
                        impl.tracking.end());
    return busy;
}

void PaintAll(WindowSystem::Impl& impl);

std::optional<Millis> NextDeadline(WindowSystem::Impl& impl)
{
    if (GetClock().IsManual()) {
        return std::nullopt; // time moves only by Advance, which wakes us
    }
    std::optional<Millis> next;
    Millis now = Now();
    auto consider = [&](Millis at) {
        Millis wait = std::max(Millis(0), at - now);
        if (!next || wait < *next) {
            next = wait;
        }
    };
    for (const TimerEntry& timer : impl.timers) {
        consider(timer.due);
    }
    for (const Tracking& t : impl.tracking) {
        if (t.hover) {
            consider(t.hoverStart + Millis(t.hoverMs));
        }
    }
    return next;
}

bool HasQueuedWork(WindowSystem::Impl& impl)
{
    std::lock_guard lock(impl.queueMutex);
    return !impl.sent.empty() || !impl.posted.empty();
}

} // namespace

void Invoker::ServeWhile(const std::function<bool()>& busy)
{
    WindowSystem::Impl& impl = WindowSystem::Get().Internals();
    for (;;) {
        ServeSent(impl);
        if (!busy()) {
            return;
        }
        // busy() may turn false without anything being sent; look again soon.
        std::unique_lock lock(impl.queueMutex);
        impl.sentQueued.wait_for(lock, std::chrono::milliseconds(5),
                                 [&] { return !impl.sent.empty(); });
    }
}

bool WindowSystem::RunPending()
{
    bool any = false;
    // Bounded, so a timer of 0 ms or work that posts more work cannot keep
    // a test here forever.
    for (int i = 0; i < 1000 && Pass(*this, *m_impl); ++i) {
        any = true;
    }
    PaintAll(*m_impl);
    return any;
}

namespace {

void Step(WindowSystem& system, WindowSystem::Impl& impl, std::optional<Millis> cap)
{
    if (Pass(system, impl)) {
        return;
    }
    PaintAll(impl);
    if (HasQueuedWork(impl)) {
        return;
    }
    std::optional<Millis> wait = NextDeadline(impl);
    if (cap && (!wait || *wait > *cap)) {
        wait = cap;
    }
    system.GetBackend().Wait(wait);
}

} // namespace

int WindowSystem::Run()
{
    m_impl->quit = false;
    while (!m_impl->quit) {
        Step(*this, *m_impl, std::nullopt);
    }
    m_impl->quit = false;
    return m_impl->quitCode;
}

void WindowSystem::Quit(int code)
{
    m_impl->quit = true;
    m_impl->quitCode = code;
    m_backend->Wake();
}

void WindowSystem::RunModalLoop(const std::function<bool()>& keepRunning,
                                const MessageFilter& filter)
{
    m_impl->filters.push_back(filter ? &filter : nullptr);
    while (!m_impl->quit && keepRunning()) {
        Step(*this, *m_impl, std::nullopt);
    }
    m_impl->filters.pop_back();
}

bool WindowSystem::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left <= Millis(0)) {
            return done();
        }
        Step(*this, *m_impl, std::min(left, Millis(20)));
    }
    return true;
}

int WindowSystem::AddInputObserver(std::function<void(const Message&)> observer)
{
    int id = m_impl->nextObserver++;
    m_impl->observers.emplace(id, std::move(observer));
    return id;
}

void WindowSystem::RemoveInputObserver(int id)
{
    m_impl->observers.erase(id);
}

std::vector<Window*> WindowSystem::TopLevelWindows() const
{
    std::vector<Window*> out;
    for (auto& state : m_impl->topLevels) {
        out.push_back(state->window);
    }
    return out;
}

// ---- painting ----

namespace {

std::uint32_t g_paintCounter = 0;

void PaintTree(Window& window, gfx::Bitmap& frame, Point offset, const Rect& clip)
{
    if (!window.IsVisible()) {
        return;
    }
    Rect area = Rect::FromSize(offset, window.GetRectInParent().GetSize()).Intersect(clip);
    if (area.IsEmpty()) {
        return;
    }
    gfx::Painter painter(frame, offset, area, gfx::DeviceScale());
    painter.SetFont(window.GetFont());
    ++g_paintCounter;
    if (!WindowAccess::Redraw(window)) {
        return; // WM_SETREDRAW off: the frame keeps what it had
    }
    WindowAccess::Paint(window, painter);
    std::vector<Window*> children = window.Children();
    for (Window* child : children) {
        Rect r = child->GetRectInParent();
        PaintTree(*child, frame, offset + r.TopLeft(), area);
    }
}

void PaintState(TopLevelState& state)
{
    if (state.dirty.IsEmpty()) {
        return;
    }
    Rect dirty = state.dirty;
    state.dirty = {};
    PaintTree(*state.window, state.frame, {0, 0}, dirty);
    if (state.native && state.window->IsVisible() && state.native->Present(state.frame, dirty)) {
        FramePresented(WindowSystem::Get().Internals());
    }
}

void PaintAll(WindowSystem::Impl& impl)
{
    // Copy: a paint handler may create or destroy windows.
    std::vector<Window*> tops;
    for (auto& state : impl.topLevels) {
        if (!state->dirty.IsEmpty() && state->window->IsVisible()) {
            tops.push_back(state->window);
        }
    }
    for (Window* top : tops) {
        if (TopLevelState* state = impl.StateOf(top)) {
            PaintState(*state);
        }
    }
}

} // namespace

void PaintTopLevelNow(Window& topLevel)
{
    if (TopLevelState* state = SystemImpl().StateOf(&topLevel)) {
        PaintState(*state);
    }
}

const gfx::Bitmap& WindowSystem::Frame(Window& topLevel)
{
    static const gfx::Bitmap kEmpty;
    TopLevelState* state = m_impl->StateOf(topLevel.TopLevel());
    if (state == nullptr) {
        return kEmpty;
    }
    PaintState(*state);
    m_paintCount = g_paintCounter;
    return state->frame;
}

gfx::Bitmap WindowSystem::CaptureWindow(Window& window)
{
    Window* top = window.TopLevel();
    if (top == nullptr) {
        return {};
    }
    const gfx::Bitmap& frame = Frame(*top);
    return frame.Crop(RectInTopLevel(window).Scaled(gfx::DeviceScale()));
}

gfx::Bitmap WindowSystem::ComposeScreen(gfx::Color background)
{
    const int k = gfx::DeviceScale();
    Size screen = m_backend->ScreenSize();
    gfx::Bitmap out(screen.width * k, screen.height * k, background);
    for (auto& state : m_impl->topLevels) {
        if (!state->window->IsVisible()) {
            continue;
        }
        PaintState(*state);
        Rect at = state->window->GetRectInParent().Scaled(k);
        const auto& region = state->window->GetWindowRgn();
        for (int y = 0; y < state->frame.Height(); ++y) {
            int sy = at.top + y;
            if (sy < 0 || sy >= out.Height()) {
                continue;
            }
            for (int x = 0; x < state->frame.Width(); ++x) {
                int sx = at.left + x;
                if (sx < 0 || sx >= out.Width() || (region && !region->Contains({x / k, y / k}))) {
                    continue;
                }
                out.SetPixel(sx, sy, state->frame.Pixel(x, y));
            }
        }
    }
    m_paintCount = g_paintCounter;
    return out;
}

} // namespace tolvar::ui
