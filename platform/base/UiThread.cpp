#include "platform/base/UiThread.h"

#include <atomic>

namespace tolvar {
namespace {
std::atomic<UiInvoker*> g_invoker{nullptr};
}

void InvokeOnUiThread(const std::function<void()>& work)
{
    if (UiInvoker* invoker = g_invoker.load()) {
        invoker->Invoke(work);
    } else {
        work();
    }
}

UiInvoker* SetUiInvoker(UiInvoker* invoker)
{
    return g_invoker.exchange(invoker);
}

bool ServeUiThreadWhile(const std::function<bool()>& busy)
{
    UiInvoker* invoker = g_invoker.load();
    if (invoker == nullptr || !invoker->IsUiThread()) {
        return false;
    }
    invoker->ServeWhile(busy);
    return true;
}

} // namespace tolvar
