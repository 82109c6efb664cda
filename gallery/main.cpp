// tolvar-gallery: every skinned widget in one window, to look at the skin.
//
//   tolvar-gallery [--page NAME] [--position X,Y]
//   tolvar-gallery --screenshot FILE [--page NAME] [--box TYPE] [--settle MS]
//
// With --screenshot the gallery runs on the headless backend, waits MS
// milliseconds (1500 by default, so the activity bars have filled a while),
// optionally opens a message box of TYPE over it, writes the picture and exits.
#include "gallery/GalleryWindow.h"
#include "platform/gfx/DeviceScale.h"

#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "widgets/MessageBox.h"
#include "widgets/MessageBoxRouting.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace tolvar;

struct Options
{
    std::string page;
    std::string screenshot;
    std::optional<unsigned> box;
    int settleMs = 1500;
    std::optional<gfx::Point> position;
};

bool Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--page" && hasValue) {
            o.page = argv[++i];
        } else if (arg == "--screenshot" && hasValue) {
            o.screenshot = argv[++i];
        } else if (arg == "--box" && hasValue) {
            o.box = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
        } else if (arg == "--settle" && hasValue) {
            o.settleMs = std::atoi(argv[++i]);
        } else if (arg == "--position" && hasValue) {
            int x = 0, y = 0;
            if (std::sscanf(argv[++i], "%d,%d", &x, &y) != 2) {
                return false;
            }
            o.position = gfx::Point{x, y};
        } else {
            return false;
        }
    }
    return true;
}

const char* SampleText(unsigned type)
{
    switch (type) {
    case MB_YESNO:
        return "This action will delete the file. \r\nDo you want to continue?";
    case MB_OKCANCEL:
        return "Depending upon your internet connection, downloading the Code List may take a "
               "few minutes...";
    default:
        return "The Code List has completed downloading.";
    }
}

// Drives a headless run from a second thread: waits, opens the box, takes
// the picture on the UI thread, closes the box and ends the loop.
int TakeScreenshot(ui::WindowSystem& system, gallery::GalleryWindow& window, const Options& o)
{
    bool saved = false;
    std::thread driver([&] {
        const auto settle = std::chrono::milliseconds(std::max(o.settleMs, 0));
        std::this_thread::sleep_for(settle / 2);
        if (o.box) {
            ui::PostTask([type = *o.box] { AfxMessageBox(SampleText(type), type); });
        }
        std::this_thread::sleep_for(settle - settle / 2);
        InvokeOnUiThread([&] {
            const gfx::Bitmap screen = system.ComposeScreen(gfx::Rgb(0, 0, 0));
            saved = screen.Crop(window.GetWindowRect().Scaled(gfx::DeviceScale()))
                        .SavePng(o.screenshot);
            if (o.box) {
                const auto windows = system.TopLevelWindows();
                if (!windows.empty() && windows.back() != &window) {
                    ui::PostMessage(windows.back()->Handle(), ui::WM_CLOSE);
                }
            }
        });
        ui::PostTask([&system] { system.Quit(); });
    });
    system.Run();
    driver.join();
    if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", o.screenshot.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--page NAME] [--position X,Y]\n"
                     "       %s --screenshot FILE [--page NAME] [--box TYPE] [--settle MS]\n",
                     argv[0], argv[0]);
        return 2;
    }
    const bool headless = !options.screenshot.empty();
    auto backend = ui::CreateBackend(headless ? ui::BackendKind::Headless : ui::BackendKind::Auto);
    if (!backend) {
        std::fprintf(stderr, "no display to open\n");
        return 1;
    }
    ui::WindowSystem system(std::move(backend));
    InstallSkinnedMessageBox();

    gallery::GalleryWindow window;
    const gfx::Size screen = system.GetBackend().ScreenSize();
    const gfx::Point topLeft =
        options.position.value_or(gfx::Point{(screen.width - gallery::kGallerySize.width) / 2,
                                             (screen.height - gallery::kGallerySize.height) / 2});
    if (!window.Create(topLeft)) {
        std::fprintf(stderr, "cannot create the gallery window\n");
        return 1;
    }
    if (!options.page.empty() && !window.ShowPage(options.page)) {
        std::fprintf(stderr, "no page named %s\n", options.page.c_str());
        return 2;
    }
    CMessageBox::SetOwner(window.Handle());
    if (headless) {
        return TakeScreenshot(system, window, options);
    }
    system.RunModalLoop([] { return true; },
                        [&window](ui::Message& message) { return window.TakeGalleryKey(message); });
    return 0;
}
