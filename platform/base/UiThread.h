#pragma once

#include <functional>

namespace tolvar {

// Work that touches windows or what they show must run on the UI thread.
// Workers hand it over with InvokeOnUiThread, which waits until it has run.
// The window system installs the real invoker; without one (command-line
// tools, windowless tests) the work runs on the calling thread.
class UiInvoker
{
public:
    virtual ~UiInvoker() = default;
    virtual void Invoke(const std::function<void()>& work) = 0;
};

void InvokeOnUiThread(const std::function<void()>& work);
UiInvoker* SetUiInvoker(UiInvoker* invoker); // returns the previous one

} // namespace tolvar
