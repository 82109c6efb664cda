// The main window on the headless backend: its frame at start-up (with a
// settings server that cannot be reached), the application messages it
// handles itself, the logo's blink on the tick, Sleep without a tray, the
// drag by the body and the program-folder choice.
#include "app/ProgramFolder.h"
#include "app/ZyferV3Dlg.h"
#include "messages/AppMessages.h"
#include "online/ServerSettings.h"
#include "platform/net/NetTimeouts.h"
#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "resources/Resources.h"
#include "storage/DriveLocation.h"
#include "storage/TrashLocation.h"
#include "tests/net/RawHttpServer.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"
#include "tests/support/TrashHome.h"
#include "tests/support/Watchdog.h"
#include "treeview/DragPayload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>

namespace tolvar::test {
namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        ui::SetClock(&clock);
        auto headless = std::make_unique<ui::HeadlessBackend>();
        display = headless.get();
        system = std::make_unique<ui::WindowSystem>(std::move(headless));
        // Nothing listens on port 1: the settings fetch fails at once.
        TheServerSettings().SetPageAddress("http://127.0.0.1:1/tolvar_settings.asp");
    }
    ~MainWindowTest() override
    {
        system.reset();
        ui::SetClock(nullptr);
    }

    // Runs the window modally, does checks once it is up, then closes it.
    void WithWindow(const std::function<void(CZyferV3Dlg&)>& checks)
    {
        CZyferV3Dlg dialog;
        ui::PostTask([&] {
            checks(dialog);
            dialog.SendMessage(ui::WM_CLOSE);
        });
        dialog.DoModal();
        EXPECT_FALSE(dialog.IsWindow());
    }
    void Tick(CZyferV3Dlg& dialog, int count)
    {
        for (int i = 0; i < count; ++i) {
            dialog.SendMessage(ui::WM_TIMER, CZyferV3Dlg::kTimerId);
        }
    }

    ui::ManualClock clock;
    ui::HeadlessBackend* display = nullptr;
    std::unique_ptr<ui::WindowSystem> system;
    ScriptedMessageBox boxes;
};

TEST_F(MainWindowTest, OpensSkinnedAndSurvivesAnUnreachableSettingsServer)
{
    WithWindow([&](CZyferV3Dlg& dialog) {
        // Size, title, corners and background: AppX11Test, on a real display.
        const gfx::Bitmap frame = system->CaptureWindow(dialog);
        // Filling the Local Tree told the window whether a save drive is
        // present: the logo panel shows the matching picture.
        const gfx::Bitmap logo = LoadBitmapResource(dialog.IsLogoLit() ? 206 : 205);
        EXPECT_EQ(frame.Pixel(350, 60), logo.Pixel(350 - 252, 60));
        // The fetch failed; at most its one message was shown, and the window is up.
        EXPECT_FALSE(TheServerSettings().IsLoaded());
        EXPECT_LE(boxes.Count(), 1u);
    });
}

TEST_F(MainWindowTest, ApplicationMessagesDriveBarsTreesAndBoxes)
{
    TempDir dir;
    WithWindow([&](CZyferV3Dlg& dialog) {
        boxes.Clear();
        const WindowHandle h = dialog.Handle();
        struct BarCase
        {
            LParam side;
            CActivityBar* bar;
        };
        for (const BarCase& c : {BarCase{0, &dialog.LeftBar()}, BarCase{1, &dialog.RightBar()},
                                 BarCase{7, &dialog.LeftBar()}}) {
            EXPECT_EQ(ui::SendMessage(h, WM_APP_BUSY_START, 0, c.side), 1);
            EXPECT_TRUE(c.bar->IsRunning()) << c.side;
            EXPECT_EQ(ui::SendMessage(h, WM_APP_BUSY_STOP, 0, c.side), 1);
            EXPECT_EQ(c.bar->Fill(), 0.0f) << c.side;
        }

        EXPECT_EQ(ui::SendMessage(h, WM_APP_LOCAL_TREE_BUSY, 1), 1);
        EXPECT_FALSE(dialog.GetLocalTree()->IsWindowEnabled());
        EXPECT_TRUE(dialog.GetOnlineTree()->IsWindowEnabled());
        ui::SendMessage(h, WM_APP_ONLINE_TREE_BUSY, 1);
        EXPECT_FALSE(dialog.GetOnlineTree()->IsWindowEnabled());
        ui::SendMessage(h, WM_APP_LOCAL_TREE_BUSY, 0);
        ui::SendMessage(h, WM_APP_ONLINE_TREE_BUSY, 0);
        EXPECT_TRUE(dialog.GetLocalTree()->IsWindowEnabled());
        EXPECT_TRUE(dialog.GetOnlineTree()->IsWindowEnabled());

        // A failed or corrupt download is deleted once the user closed its box.
        struct FileCase
        {
            unsigned message;
            const char* text;
        };
        for (const FileCase& c :
             {FileCase{WM_APP_DOWNLOAD_INCOMPLETE, "The download failed to complete, aborting"},
              FileCase{WM_APP_DOWNLOAD_CORRUPT, "The download was corrupt, aborting"}}) {
            const auto file = dir / "partial.tvd";
            std::ofstream(file) << "half";
            boxes.Clear();
            const std::string path = file.string();
            EXPECT_EQ(ui::SendMessage(h, c.message, reinterpret_cast<WParam>(path.c_str())), 1);
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.text});
            EXPECT_FALSE(std::filesystem::exists(file)) << c.text;
        }

        boxes.Clear();
        ui::SendMessage(h, WM_APP_DOWNLOAD_DONE, reinterpret_cast<WParam>("Eabc.tvd"));
        ui::SendMessage(h, WM_APP_DOWNLOAD_DONE, reinterpret_cast<WParam>("E:\\abc.tvd"));
        EXPECT_EQ(ui::SendMessage(h, WM_APP_CODELIST_DONE), 1);
        EXPECT_EQ(ui::SendMessage(h, WM_APP_REFRESH_ONLINE), 0);
        // Both paths name no file: the Local Tree reports each as no save.
        EXPECT_EQ(boxes.Texts(),
                  (std::vector<std::string>{
                      "Either the file directory or the file path is incorrect",
                      "Cannot open selected file", "The save is not a valid PS2 save",
                      "Cannot open selected file", "The save is not a valid PS2 save",
                      "The Code List has completed downloading."}));

        // Double-clicking the logo opens the version box.
        boxes.Clear();
        const gfx::Point logo = dialog.ClientToScreen({350, 60});
        display->Click(logo);
        display->Click(logo);
        system->RunPending();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Tolvar for PC Version 1.1US"});
    });
}

// The download flow end to end through the real window: an online save
// dropped on "Saves" is fetched there and listed; one whose detail named no
// file starts nothing.
TEST_F(MainWindowTest, ADroppedOnlineSaveArrivesInItsLocationAndIsListed)
{
    Watchdog watchdog(std::chrono::seconds(40));
    const std::vector<std::uint8_t> save = MakeSave("Flow", 500);
    RawHttpServer server(
        RawHttpServer::Documents({{"/saves/FlowDrop.tvd", std::string(save.begin(), save.end())}}));
    // The PC database is "Saves" in the working folder, as the program runs.
    TempDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    std::filesystem::create_directory("Saves");
    const std::filesystem::path arrived = dir / "Saves" / "FlowDrop.tvd";
    WithWindow([&](CZyferV3Dlg& dialog) {
        CLocalTree& tree = *dialog.GetLocalTree();
        const DriveLocation* saves = tree.Locations().FindLocationByFolder("Saves\\");
        ASSERT_NE(saves, nullptr);
        gfx::Rect r;
        ASSERT_NE(tree.GetLabelRect(saves->m_itemId, &r), nullptr);
        const gfx::Point at{r.left + 4, (r.top + r.bottom) / 2};
        const unsigned online = ui::RegisterClipboardFormat("ZyferOnlineFile");
        struct Case
        {
            int size;
            bool listed;
        };
        for (const Case& c : {Case{0, false}, Case{static_cast<int>(save.size()), true}}) {
            ui::DataObject data;
            data.CacheGlobalData(
                online, MakeOnlineSaveBlock(dialog.Handle(),
                                            {server.Url("/saves/FlowDrop.tvd"), c.size, "Flow"}));
            ASSERT_EQ(tree.OnDragEnter(&tree, &data, 0, at), ui::DROPEFFECT_COPY);
            EXPECT_TRUE(tree.OnDrop(&tree, &data, ui::DROPEFFECT_COPY, at));
            system->RunUntil([&] { return dialog.IsListed("Saves\\", "FlowDrop.tvd"); },
                             std::chrono::seconds(c.listed ? 20 : 1));
            EXPECT_EQ(dialog.IsListed("Saves\\", "FlowDrop.tvd"), c.listed) << c.size;
            EXPECT_EQ(server.Requests().size(), c.listed ? 1u : 0u) << c.size;
        }
        EXPECT_TRUE(boxes.Texts().empty()) << ::testing::PrintToString(boxes.Texts());
    });
    EXPECT_EQ(ReadBytes(arrived), save);
    std::filesystem::current_path(previous);
}

// The window closed while an upload waits on its server: the upload is
// cancelled, and nothing is shown or started for it once the window is gone.
TEST_F(MainWindowTest, ClosingDuringAnUploadEndsItQuietly)
{
    Watchdog watchdog(std::chrono::seconds(40));
    const net::NetTimeouts previous = net::DefaultNetTimeouts();
    net::NetTimeouts patient = previous;
    patient.stall = std::chrono::seconds(3); // the upload would give up after this
    net::SetDefaultNetTimeouts(patient);
    std::atomic<bool> posted{false};
    RawHttpServer server([&](int fd, const RawHttpServer::Request& request, RawHttpServer& self) {
        if (request.path() == "/tolvar_settings.asp") {
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer("SAVES_URL=" + self.Url("/list?") +
                                                              "\r\nUPLOAD_URL=" + self.Url("/up?") +
                                                              "\r\n"));
            return;
        }
        posted = true;
        self.WaitForShutdown();
    });
    TheServerSettings().SetPageAddress(server.Url("/tolvar_settings.asp"));
    TempDir dir;
    WriteBytes(dir / "mine.tvd", MakeSave("Mine", 5000));
    WithWindow([&](CZyferV3Dlg& dialog) {
        boxes.Clear();
        ASSERT_TRUE(
            dialog.GetUploadJob().Start(ProgramFolder(dir.Path()) + "mine.tvd", "mine.tvd"));
        // The form opens over the window in a loop of its own; closing it
        // submits it.
        std::function<void()> closeForm = [&] {
            ui::Window* focus = ui::Window::GetFocus();
            ui::Window* form = focus != nullptr ? focus->TopLevel() : nullptr;
            if (form != nullptr && form != &dialog) {
                form->SendMessage(ui::WM_CLOSE);
            } else {
                ui::PostTask(closeForm);
            }
        };
        ui::PostTask(closeForm);
        ASSERT_TRUE(system->RunUntil([&] { return posted.load(); }));
    });
    net::SetDefaultNetTimeouts(previous);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
    for (const RawHttpServer::Request& request : server.Requests()) {
        EXPECT_NE(request.path(), "/list") << "a list fetch for a closed window";
    }
}

// Another program putting a save in the trash, or taking it out again, shows
// in the Trash location with nothing done in the window.
TEST_F(MainWindowTest, TheTrashLocationFollowsWhatOtherProgramsDoToTheTrash)
{
    namespace fsys = std::filesystem;
    TrashHome trash;
    TempDir dir;
    Watchdog watchdog;
    WithWindow([&](CZyferV3Dlg& dialog) {
        const DriveLocation* location = dialog.GetLocalTree()->Locations().Trash();
        ASSERT_NE(location, nullptr);
        auto shows = [&](std::size_t count) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (location->m_entries.size() != count &&
                   std::chrono::steady_clock::now() < deadline) {
                system->RunPending();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return location->m_entries.size() == count;
        };
        EXPECT_TRUE(shows(0));
        const fsys::path save = dir / "x.tvd";
        WriteBytes(save, MakeSave("xray"));
        if (std::system(("gio trash '" + save.string() + "' 2>/dev/null").c_str()) != 0) {
            // Without gio, as it does: the info first, then the file.
            fsys::create_directories(trash.Files());
            fsys::create_directories(trash.Info());
            std::ofstream(trash.Info() / "x.tvd.trashinfo")
                << "[Trash Info]\nPath=" << save.string() << "\nDeletionDate=2026-12-07T10:00:00\n";
            fsys::rename(save, trash.Files() / "x.tvd");
        }
        ASSERT_TRUE(shows(1));
        TreeItem* item = location->m_itemId->firstChild;
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(dialog.GetLocalTree()->GetItemText(item).rfind("xray", 0), 0u);
        // A save still in the trash is restored before it is offered.
        const auto inTrash = dialog.GetLocalTree()->SaveDragOf(item);
        ASSERT_TRUE(inTrash.has_value());
        {
            COnlineTree& online = *dialog.GetOnlineTree();
            ui::DataObject data;
            data.CacheGlobalData(ui::RegisterClipboardFormat("ZyferLocalFile"),
                                 MakeLocalSaveBlock(dialog.Handle(), *inTrash));
            const gfx::Point at{40, 10};
            online.OnDragEnter(&online, &data, 0, at);
            online.OnDrop(&online, &data, ui::DROPEFFECT_COPY, at);
            EXPECT_FALSE(dialog.GetUploadJob().IsRunning());
        }
        // A file manager restores it: the file back in its folder, its info gone.
        fsys::rename(trash.Files() / "x.tvd", save);
        fsys::remove(trash.Info() / "x.tvd.trashinfo");
        EXPECT_TRUE(shows(0));
        EXPECT_EQ(location->m_itemId->firstChild, nullptr);
    });
}

// A tree is one tool of the tip: the tip stays over its row long enough to
// be read, and moving to another row asks the tree again.
TEST_F(MainWindowTest, ATreeTipStaysOverItsRowAndFollowsThePointerToTheNext)
{
    TrashHome trash;
    WithWindow([&](CZyferV3Dlg& dialog) {
        CLocalTree& tree = *dialog.GetLocalTree();
        const ui::ToolTip& tip = dialog.TreeToolTip();
        auto hover = [&](const DriveLocation* location) {
            gfx::Rect r;
            ASSERT_NE(tree.GetLabelRect(location->m_itemId, &r), nullptr);
            display->MouseMove(tree.ClientToScreen({r.left + 4, (r.top + r.bottom) / 2}));
            system->RunPending();
        };
        auto wait = [&](int ms) {
            clock.Advance(std::chrono::milliseconds(ms));
            system->RunPending();
        };
        hover(tree.Locations().FindLocationByFolder("Saves\\"));
        wait(600);
        ASSERT_TRUE(tip.IsShown());
        const std::string saves = tip.ShownText();
        Tick(dialog, 5);
        EXPECT_TRUE(tip.IsShown()) << "the tip went before it could be read";
        hover(tree.Locations().Trash());
        Tick(dialog, 1);
        wait(600);
        ASSERT_TRUE(tip.IsShown());
        EXPECT_NE(tip.ShownText(), saves) << "the tip still speaks of the row left";
        display->MouseMove({2, 2}); // off the trees
        system->RunPending();
        EXPECT_FALSE(tip.IsShown());
    });
}

TEST_F(MainWindowTest, LogoBlinksOnTheSharedCounterAndSettles)
{
    WithWindow([&](CZyferV3Dlg& dialog) {
        const gfx::Bitmap lit = LoadBitmapResource(206), dim = LoadBitmapResource(205);
        const WindowHandle h = dialog.Handle();
        // A blink ends when the shared counter reaches 8 and puts it back at 0.
        ui::SendMessage(h, WM_APP_DRIVE_PRESENT);
        for (int i = 0; i < 8 && dialog.IsLogoBlinking(); ++i) {
            Tick(dialog, 1);
        }
        ASSERT_FALSE(dialog.IsLogoBlinking());
        Tick(dialog, 7); // the counter at 7: a blink begun now lasts one tick
        ui::SendMessage(h, WM_APP_DRIVE_PRESENT);
        EXPECT_TRUE(dialog.IsLogoBlinking());
        EXPECT_EQ(dialog.LogoPanel().GetBitmap(), lit);
        ui::SendMessage(h, WM_APP_DRIVE_ABSENT); // during the blink: it ends dim
        EXPECT_EQ(dialog.LogoPanel().GetBitmap(), dim);
        ui::SendMessage(h, WM_APP_DRIVE_PRESENT); // again: does not restart the blink
        Tick(dialog, 1);
        EXPECT_FALSE(dialog.IsLogoBlinking()) << "the blink ends when the counter reaches 8";
        EXPECT_EQ(dialog.LogoPanel().GetBitmap(), lit);

        ui::SendMessage(h, WM_APP_DRIVE_PRESENT);
        ui::SendMessage(h, WM_APP_DRIVE_ABSENT);
        bool sawLit = false;
        for (int i = 0; i < 8 && dialog.IsLogoBlinking(); ++i) {
            Tick(dialog, 1);
            sawLit = sawLit || (dialog.IsLogoBlinking() && dialog.LogoPanel().GetBitmap() == lit);
        }
        EXPECT_TRUE(sawLit) << "no lit phase during the blink";
        EXPECT_FALSE(dialog.IsLogoBlinking());
        EXPECT_EQ(dialog.LogoPanel().GetBitmap(), dim);
    });
}

TEST_F(MainWindowTest, SleepMinimisesWithoutATrayAndTheBodyDragsTheWindow)
{
    WithWindow([&](CZyferV3Dlg& dialog) {
        ASSERT_FALSE(dialog.TrayIcon().IsShown()) << "no notification area here";
        const gfx::Point sleep = dialog.ClientToScreen({526 + 60, 51 + 17});
        display->Click(sleep);
        system->RunPending();
        EXPECT_TRUE(dialog.IsHiddenBySleep());
        EXPECT_TRUE(dialog.IsIconic());
        EXPECT_TRUE(dialog.IsWindowVisible()) << "hidden with no icon to bring it back";
        dialog.SendMessage(ui::WM_COMMAND, CZyferV3Dlg::kShowHideCommand);
        EXPECT_FALSE(dialog.IsHiddenBySleep());
        EXPECT_FALSE(dialog.IsIconic());

        struct DragCase
        {
            gfx::Point start; // client
            bool moves;
        };
        for (const DragCase& c : {DragCase{{100, 120}, true},     // the body
                                  DragCase{{350, 60}, true},      // the logo
                                  DragCase{{60, 145}, true},      // a bar
                                  DragCase{{100, 200}, false},    // the Local Tree
                                  DragCase{{450, 200}, false}}) { // the Online Tree
            const gfx::Rect before = dialog.GetWindowRect();
            display->MouseMove(dialog.ClientToScreen(c.start));
            display->MouseDown();
            system->RunPending();
            display->MouseMove(dialog.ClientToScreen(c.start) + gfx::Point{30, 20});
            display->MouseUp();
            system->RunPending();
            const gfx::Rect after = dialog.GetWindowRect();
            const gfx::Point expected =
                c.moves ? before.TopLeft() + gfx::Point{30, 20} : before.TopLeft();
            EXPECT_EQ(after.TopLeft(), expected) << c.start.x << "," << c.start.y;
            clock.Advance(std::chrono::seconds(1)); // no double click with the next press
        }
    });
}

TEST_F(MainWindowTest, EscapeAndAltSpaceReachTheWindowWhicheverTreeHasTheFocus)
{
    for (const gfx::Point inTree : {gfx::Point{100, 200}, gfx::Point{450, 200}}) {
        SCOPED_TRACE(inTree.x);
        CZyferV3Dlg dialog;
        bool escapeIgnored = false;
        ui::PostTask([&] {
            display->Click(dialog.ClientToScreen(inTree));
            system->RunPending();
            const ui::Window* focus = ui::Window::GetFocus();
            EXPECT_TRUE(focus == dialog.GetLocalTree() || focus == dialog.GetOnlineTree());
            // Alt+Space opens the window menu, whose N minimises.
            display->KeyDown(ui::VK_MENU);
            display->PressKey(ui::VK_SPACE);
            display->KeyUp(ui::VK_MENU);
            display->PressKey('N');
            system->RunPending();
            EXPECT_TRUE(dialog.IsIconic());
            dialog.ShowWindow(ui::ShowCommand::Restore);
            clock.Advance(std::chrono::seconds(1));
            display->Click(dialog.ClientToScreen(inTree));
            display->PressKey(ui::VK_ESCAPE);
            system->RunPending();
            // Still running after Escape: the tree kept the key.
            ui::PostTask([&escapeIgnored, handle = dialog.Handle()] {
                if (ui::Window* still = ui::Window::FromHandle(handle)) {
                    escapeIgnored = true;
                    still->SendMessage(ui::WM_CLOSE);
                }
            });
        });
        dialog.DoModal();
        system->RunPending();
        EXPECT_FALSE(escapeIgnored);
    }
}

TEST_F(MainWindowTest, TabGoesRoundTheButtonsAndTreesAndEnterPressesAButton)
{
    WithWindow([&](CZyferV3Dlg& dialog) {
        display->Click(dialog.ClientToScreen({100, 200})); // the Local Tree
        system->RunPending();
        struct Step
        {
            bool shift;
            unsigned focus; // the control id that has the focus after the key
        } steps[] = {{false, CZyferV3Dlg::kOnlineTreeId},     {false, CZyferV3Dlg::kWebButtonId},
                     {false, CZyferV3Dlg::kSleepButtonId},    {false, CZyferV3Dlg::kExitButtonId},
                     {false, CZyferV3Dlg::kCodeListButtonId}, {false, CZyferV3Dlg::kLocalTreeId},
                     {true, CZyferV3Dlg::kCodeListButtonId},  {true, CZyferV3Dlg::kExitButtonId},
                     {true, CZyferV3Dlg::kSleepButtonId}};
        for (const Step& step : steps) {
            if (step.shift) {
                display->KeyDown(ui::VK_SHIFT);
            }
            display->PressKey(ui::VK_TAB);
            if (step.shift) {
                display->KeyUp(ui::VK_SHIFT);
            }
            system->RunPending();
            ui::Window* focus = ui::Window::GetFocus();
            ASSERT_NE(focus, nullptr) << step.focus;
            EXPECT_EQ(focus->GetDlgCtrlID(), step.focus);
            // A button reached by Tab shows it with its focus frame.
            if (auto* button = dynamic_cast<ui::BitmapButton*>(focus)) {
                EXPECT_TRUE(button->HasKeyboardFocus()) << step.focus;
            }
        }
        // Enter presses the focused button: Sleep.
        display->PressKey(ui::VK_RETURN);
        system->RunPending();
        EXPECT_TRUE(dialog.IsIconic());
        dialog.SendMessage(ui::WM_COMMAND, CZyferV3Dlg::kShowHideCommand);
    });
}

TEST(ProgramFolderTest, ExecutableFolderWhenWritableElseTheXdgFolders)
{
    TempDir dir;
    const auto readOnly = dir / "ro";
    const auto bin = dir / "bin";
    std::filesystem::create_directory(readOnly);
    std::filesystem::create_directory(bin);
    chmod(readOnly.c_str(), 0555);
    const bool rootIgnoresModes = access(readOnly.c_str(), W_OK) == 0;
    struct Case
    {
        std::string folder;
        const char* xdg;
        const char* home;
        std::string expected;
    };
    std::vector<Case> cases = {
        {dir.Path().string(), "/data", "/home/ann", dir.Path().string()},
        {(dir / "missing").string(), "/data", "/home/ann", "/data/tolvar"},
        {"", nullptr, "/home/ann", "/home/ann/.local/share/tolvar"},
        {"", "relative/path", "/home/ann", "/home/ann/.local/share/tolvar"},
        // Installed, even where it may write (root in /usr/bin).
        {bin.string(), "/data", "/home/ann", "/data/tolvar"},
    };
    if (!rootIgnoresModes) {
        cases.push_back({readOnly.string(), "", "/home/ann", "/home/ann/.local/share/tolvar"});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseProgramFolder(c.folder, c.xdg, c.home), c.expected) << c.folder;
    }
    chmod(readOnly.c_str(), 0755);
    EXPECT_EQ(ToProgramPath("/usr/lib/tolvar"), "\\usr\\lib\\tolvar");
    EXPECT_EQ(ChooseCacheFolder("/cache", "/home/ann"), "/cache/tolvar");
    EXPECT_EQ(ChooseCacheFolder(nullptr, "/home/ann"), "/home/ann/.cache/tolvar");
    EXPECT_EQ(ChooseConfigFile("", "/home/ann"), "/home/ann/.config/tolvar/tolvar.conf");

    const auto conf = dir / "tolvar.conf";
    const std::pair<const char*, const char*> files[] = {
        {"settings=http://a/s.asp\n", "http://a/s.asp"},
        {"# settings=http://old\n  settings =  http://b/s.asp \r\nother=1\n", "http://b/s.asp"},
        {"settingsx=http://c\n", ""},
    };
    for (const auto& [text, address] : files) {
        std::ofstream(conf) << text;
        EXPECT_EQ(ReadSettingsAddress(conf.string()), address) << text;
    }
    EXPECT_EQ(ReadSettingsAddress((dir / "missing.conf").string()), "");
}

} // namespace
} // namespace tolvar::test
