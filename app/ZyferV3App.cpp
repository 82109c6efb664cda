#include "app/ZyferV3App.h"

#include "app/CommandLine.h"
#include "app/ProgramFolder.h"
#include "app/StartupTimes.h"
#include "app/ZyferV3Dlg.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/fs/Path.h"
#include "platform/fs/VolumeTable.h"
#include "platform/gfx/Font.h"
#include "platform/net/SocketInit.h"
#include "platform/shell/AppInstance.h"
#include "platform/shell/SessionBus.h"
#include "platform/ui/WindowSystem.h"
#include "resources/StringResources.h"
#include "widgets/MessageBoxRouting.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <latch>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tolvar {

namespace {

// "Temp" lives in the cache folder; the program reaches it as "temp\" in its
// own folder, so that name is a link there. A real folder left by an earlier
// run is replaced only when empty.
void KeepTempInCache(const std::string& cacheFolder)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::path(cacheFolder) / "Temp";
    std::filesystem::create_directories(target, error);
    const std::filesystem::path link = "Temp";
    const auto status = std::filesystem::symlink_status(link, error);
    if (std::filesystem::is_symlink(status)) {
        if (std::filesystem::read_symlink(link, error) == target) {
            return;
        }
        std::filesystem::remove(link, error);
    } else if (std::filesystem::is_directory(status) && !std::filesystem::remove(link, error)) {
        return; // not empty: keep what it holds, and use it
    }
    std::filesystem::create_directory_symlink(target, link, error);
}

// The main window while it runs; UI thread only.
CZyferV3Dlg* g_mainDialog = nullptr;

} // namespace

CZyferV3App::CZyferV3App(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

int CZyferV3App::DoMessageBox(const std::string& text, unsigned type, unsigned)
{
    // A job that ends while the window is away says so in its box; the
    // desktop shows the same words as a notification.
    if (type == MB_OK) {
        InvokeOnUiThread([&text] {
            if (g_mainDialog != nullptr) {
                g_mainDialog->NoticeIfAway(text);
            }
        });
    }
    return ShowSkinnedMessageBox(text, type);
}

bool CZyferV3App::InitInstance()
{
    MarkStartupStep("main");
    const CommandLine line = ParseCommandLine(m_arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(CommandLineUsage().c_str(), stdout);
        return false;
    case CommandLine::Action::Version:
        std::printf("tolvar %s\n", TOLVAR_VERSION);
        return false;
    case CommandLine::Action::Wrong:
        std::fputs(CommandLineUsage().c_str(), stderr);
        m_exitCode = 2;
        return false;
    case CommandLine::Action::Run:
        break;
    }
    const char* self = m_arguments.empty() ? "tolvar" : m_arguments.front().c_str();
    // Named from where the program was started, before it moves to its folder.
    std::vector<std::string> files;
    for (const auto& file : line.files) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(file, error);
        files.push_back(error ? file : absolute.lexically_normal().string());
    }

    // Held back before any thread starts, so that every thread leaves them
    // to the loop (WatchEndSignals below).
    ui::BlockEndSignals();
    // Beside the display's set-up, on one thread: the fonts the controls
    // measure with, then the drives' table the first frame lists. On another,
    // where a session bus may be, its answer whether another instance runs (a
    // second start hands its files to the first and ends: two instances
    // would watch the same drives and write the same folders). The window
    // waits for that answer only before it touches a drive or folder
    // (SetMayAct below). Both threads are made before either loads a
    // library: while dlopen runs, making a thread waits.
    gfx::Font::RememberMatchesIn(
        ChooseCacheFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")) + "/fonts");
    shell::AppInstance::Role role = shell::AppInstance::Role::Alone;
    std::unique_ptr<shell::AppInstance> instance;
    std::latch made(1);
    std::jthread beside([&made] {
        made.wait();
        // The letters of the first frame's fixed labels, and those FAT
        // volume labels are made of.
        gfx::Font::LoadCommon("PC Databases Saves Trash Online Database "
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        fs::VolumeTable::Global();
    });
    std::jthread claiming;
    if (shell::SessionBus::MayExist()) {
        claiming = std::jthread([&] {
            made.wait();
            instance = shell::AppInstance::Claim(kApplicationId, files, role);
        });
    }
    made.count_down();
    auto backend = ui::CreateBackend(ui::BackendKind::X11);
    if (!backend) {
        if (claiming.joinable()) {
            claiming.join();
        }
        if (role == shell::AppInstance::Role::Handed) {
            return false;
        }
    }

    std::srand(static_cast<unsigned>(std::time(nullptr)));

    if (!backend) {
        std::fprintf(stderr, "%s: cannot open the display\n", self);
        m_exitCode = 1;
        return false;
    }
    // Logging out, Ctrl+C and kill end the program as Exit does: the main
    // window closes and its jobs are cancelled and waited for. The signals
    // were blocked before the first thread started (above).
    backend->WatchEndSignals();
    MarkStartupStep("X set-up");
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
    if (folder != executableFolder) {
        KeepTempInCache(ChooseCacheFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")));
    } else {
        std::filesystem::create_directory("Temp", error);
    }

    if (!net::AfxSocketInit()) {
        AfxMessageBox(LoadStringResource(103), MB_OK);
        m_exitCode = 1;
        return false;
    }
    MarkStartupStep("folders, sockets");
    std::string settingsAddress = line.settingsAddress;
    if (settingsAddress.empty()) {
        settingsAddress = ReadSettingsAddress(
            ChooseConfigFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
    }
    if (!settingsAddress.empty()) {
        TheServerSettings().SetPageAddress(settingsAddress);
    }

    {
        CZyferV3Dlg dialog;
        MarkStartupStep("skin pictures");
        dialog.SetMayAct([&] {
            if (claiming.joinable()) {
                claiming.join();
            }
            if (role == shell::AppInstance::Role::Handed) {
                return false;
            }
            // Both run once the window is up, in its loop.
            if (!files.empty()) {
                ui::PostTask([&dialog, files] { dialog.OpenSaves(files); });
            }
            if (instance) {
                instance->Serve([&dialog](const std::vector<std::string>& handed) {
                    if (dialog.IsWindow()) {
                        dialog.OpenSaves(handed);
                    }
                });
            }
            return true;
        });
        g_mainDialog = &dialog;
        dialog.DoModal();
        g_mainDialog = nullptr;
        if (claiming.joinable()) { // a window that never came so far
            claiming.join();
        }
        // No more hand-overs once the window is gone.
        instance.reset();
    }
    SetMessageBoxHandler({});
    return false;
}

} // namespace tolvar
