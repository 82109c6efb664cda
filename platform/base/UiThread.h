#pragma once

#include <functional>

namespace tolvar {

// Work that touches windows or what they show must run on the UI thread.
// Workers hand it over with InvokeOnUiThread, which waits until it has run.
// The window system installs the real invoker; without one (command-line
// tools, windowless tests) the work runs on the calling thread.
//
// Work that throws on the UI thread releases its sender: the exception is
// thrown again from InvokeOnUiThread on the sender's thread, and the UI
// thread goes on.
class UiInvoker
{
public:
    virtual ~UiInvoker() = default;
    virtual void Invoke(const std::function<void()>& work) = 0;
    // Called on the UI thread: runs what other threads hand over and wait
    // for (invoked work, sent messages), and nothing else, until busy()
    // turns false. No input, timers or painting, so it is safe while a
    // window is being torn down.
    virtual void ServeWhile(const std::function<bool()>& busy) = 0;
    virtual bool IsUiThread() const = 0;
};

void InvokeOnUiThread(const std::function<void()>& work);
UiInvoker* SetUiInvoker(UiInvoker* invoker); // returns the previous one

// On the UI thread, serves handed-over work until busy() turns false and
// returns true; on any other thread, or with no invoker, returns false at
// once (nobody there waits on this thread).
bool ServeUiThreadWhile(const std::function<bool()>& busy);

} // namespace tolvar
