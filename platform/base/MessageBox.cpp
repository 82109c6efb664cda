#include "platform/base/MessageBox.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace tolvar {
namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler;
std::atomic<bool> g_defaultYes{false};

int DefaultMessageBox(const std::string& text, unsigned type)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    if (type == MB_YESNO) {
        return g_defaultYes ? IDYES : IDNO;
    }
    return IDOK;
}

} // namespace

int AfxMessageBox(const std::string& text, unsigned type)
{
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    return handler ? handler(text, type) : DefaultMessageBox(text, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard lock(g_handlerMutex);
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

void SetDefaultMessageBoxAnswersYes(bool yes)
{
    g_defaultYes = yes;
}

} // namespace tolvar
