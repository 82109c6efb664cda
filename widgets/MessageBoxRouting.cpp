#include "widgets/MessageBoxRouting.h"

#include "platform/base/UiThread.h"
#include "platform/ui/WindowSystem.h"
#include "widgets/MessageBox.h"

#include <cstdio>

namespace tolvar {

int ShowSkinnedMessageBox(const std::string& text, unsigned type)
{
    ui::WindowSystem* system = ui::WindowSystem::Instance();
    if (!system) {
        // No screen to show it on: say it on standard error and give the safe answer.
        std::fprintf(stderr, "%s\n", text.c_str());
        return type == MB_YESNO ? IDNO : IDOK;
    }
    int result = 0;
    auto run = [&] { result = CMessageBox(text, type).Run(); };
    if (system->IsUiThread()) {
        run();
    } else {
        InvokeOnUiThread(run);
    }
    return result;
}

MessageBoxHandler InstallSkinnedMessageBox()
{
    return SetMessageBoxHandler(&ShowSkinnedMessageBox);
}

} // namespace tolvar
