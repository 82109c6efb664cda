#include "app/ZyferV3App.h"

#include "app/ProgramFolder.h"
#include "app/StartupTimes.h"
#include "app/ZyferV3Dlg.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/fs/Path.h"
#include "platform/gfx/Font.h"
#include "platform/net/SocketInit.h"
#include "platform/ui/WindowSystem.h"
#include "resources/StringResources.h"
#include "widgets/MessageBoxRouting.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tolvar {

CZyferV3App::CZyferV3App(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

bool CZyferV3App::ParseArguments()
{
    for (std::size_t i = 1; i < m_arguments.size(); ++i) {
        if (m_arguments[i] == "--settings" && i + 1 < m_arguments.size()) {
            m_settingsAddress = m_arguments[++i];
        } else {
            return false;
        }
    }
    return true;
}

int CZyferV3App::DoMessageBox(const std::string& text, unsigned type, unsigned)
{
    return ShowSkinnedMessageBox(text, type);
}

bool CZyferV3App::InitInstance()
{
    MarkStartupStep("main");
    const char* self = m_arguments.empty() ? "tolvar" : m_arguments.front().c_str();
    if (!ParseArguments()) {
        std::fprintf(stderr, "usage: %s [--settings URL]\n", self);
        m_exitCode = 2;
        return false;
    }

    std::srand(static_cast<unsigned>(std::time(nullptr)));

    auto backend = ui::CreateBackend(ui::BackendKind::X11);
    if (!backend) {
        std::fprintf(stderr, "%s: cannot open the display\n", self);
        m_exitCode = 1;
        return false;
    }
    MarkStartupStep("X set-up");
    gfx::Font::LoadInBackground();
    ui::WindowSystem system(std::move(backend));
    SetMessageBoxHandler(
        [](const std::string& text, unsigned type) { return DoMessageBox(text, type, 0); });

    // The program works in its folder, so "Saves\" and "temp\" are its own.
    std::string executableFolder = fs::GetExecutableFolder();
    for (char& c : executableFolder) {
        if (c == '\\') {
            c = '/';
        }
    }
    const std::string folder =
        ChooseProgramFolder(executableFolder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot work in %s\n", self, folder.c_str());
    }
    SetProgramFolder(ToProgramPath(folder));
    std::filesystem::create_directory("Saves", error);
    std::filesystem::create_directory("Temp", error);

    if (!net::AfxSocketInit()) {
        AfxMessageBox(LoadStringResource(103), MB_OK);
        m_exitCode = 1;
        return false;
    }
    if (!m_settingsAddress.empty()) {
        TheServerSettings().SetPageAddress(m_settingsAddress);
    }

    MarkStartupStep("folders, sockets");
    {
        CZyferV3Dlg dialog;
        MarkStartupStep("skin pictures");
        dialog.DoModal();
    }
    SetMessageBoxHandler({});
    return false;
}

} // namespace tolvar
