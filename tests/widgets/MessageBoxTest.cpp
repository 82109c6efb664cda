#include "widgets/MessageBox.h"
#include "widgets/MessageBoxRouting.h"

#include "platform/base/MessageBox.h"
#include "tests/widgets/WidgetFixture.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <vector>

namespace tolvar::test {
namespace {

constexpr unsigned kOk = CMessageBox::kOkId, kCancel = CMessageBox::kCancelId,
                   kYes = CMessageBox::kYesId, kNo = CMessageBox::kNoId;

class MessageBoxTest : public UiTest
{
protected:
    // Runs a box; whileOpen runs inside its modal loop once it is set up.
    int RunBox(const std::string& text, unsigned type, std::function<void(CMessageBox&)> whileOpen)
    {
        CMessageBox box(text, type);
        ui::PostTask([&] { whileOpen(box); });
        return box.Run();
    }
    void Press(CMessageBox& box, unsigned id)
    {
        ui::Window* button = box.GetDlgItem(id);
        ASSERT_NE(button, nullptr);
        display->Click(button->ClientToScreen(gfx::Point{50, 13}));
    }
};

TEST_F(MessageBoxTest, ButtonsShownPlacedAndAnsweredPerType)
{
    struct Case
    {
        unsigned type;
        std::map<unsigned, gfx::Point> shown;
    };
    const std::map<unsigned, gfx::Point> okOnly = {{kOk, {107, 123}}};
    const Case cases[] = {
        {MB_OK, okOnly},
        {MB_OKCANCEL, {{kOk, {57, 123}}, {kCancel, {157, 123}}}},
        {MB_YESNO, {{kYes, {57, 123}}, {kNo, {157, 123}}}},
        // The type is compared whole: flags mixed in give the OK box.
        {0x30, okOnly},
        {0x24, okOnly},
        {2, okOnly},
        {3, okOnly},
    };
    const std::map<unsigned, int> answers = {
        {kOk, IDOK}, {kCancel, IDCANCEL}, {kYes, IDYES}, {kNo, IDNO}};
    for (const Case& c : cases) {
        for (const auto& [pressed, unused] : c.shown) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << ", button " << pressed);
            const int result = RunBox("Question", c.type, [&](CMessageBox& box) {
                for (unsigned id : {kOk, kCancel, kYes, kNo}) {
                    ui::Window* button = box.GetDlgItem(id);
                    ASSERT_NE(button, nullptr);
                    const auto it = c.shown.find(id);
                    EXPECT_EQ(button->IsVisible(), it != c.shown.end()) << "button " << id;
                    if (it != c.shown.end()) {
                        EXPECT_EQ(button->GetRectInParent(),
                                  gfx::Rect::FromSize(it->second, {100, 27}));
                    }
                }
                Press(box, pressed);
            });
            EXPECT_EQ(result, answers.at(pressed));
        }
    }
}

TEST_F(MessageBoxTest, KeyboardMovesBetweenButtonsAndClosingWithoutOneAnswersNoOnlyForYesNo)
{
    struct Case
    {
        unsigned type;
        std::vector<unsigned> keys;
        int result;
    };
    const unsigned tab = ui::VK_TAB, enter = ui::VK_RETURN, space = ui::VK_SPACE,
                   esc = ui::VK_ESCAPE;
    // A Yes/No question starts on No, so a stray Enter deletes nothing; closed
    // without a button it answers No, other boxes 0. Y and N answer Yes/No boxes only.
    const Case cases[] = {{MB_YESNO, {enter}, IDNO},
                          {MB_YESNO, {space}, IDNO},
                          {MB_YESNO, {tab, enter}, IDYES},
                          {MB_YESNO, {tab, space}, IDYES},
                          {MB_YESNO, {tab, tab, enter}, IDNO},
                          {MB_YESNO, {'Y'}, IDYES},
                          {MB_YESNO, {tab, 'N'}, IDNO},
                          {MB_OK, {enter}, IDOK},
                          {MB_OK, {'Y', 'N', esc}, 0},
                          {MB_OKCANCEL, {enter}, IDOK},
                          {MB_OKCANCEL, {tab, enter}, IDCANCEL},
                          {MB_YESNO, {esc}, IDNO},
                          {MB_OKCANCEL, {esc}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << ", case " << (&c - cases));
        EXPECT_EQ(RunBox("Question", c.type,
                         [&](CMessageBox&) {
                             for (unsigned key : c.keys) {
                                 display->PressKey(key);
                             }
                         }),
                  c.result);
    }
    for (unsigned type : {MB_YESNO, MB_OK}) {
        EXPECT_EQ(RunBox("Closed", type, [&](CMessageBox& box) { display->Close(box.Handle()); }),
                  type == MB_YESNO ? IDNO : 0);
    }
    // The program ending under a question (a signal, the display gone) answers No.
    ui::InputEvent end;
    end.type = ui::InputEvent::Type::EndRequested;
    EXPECT_EQ(RunBox("Ending", MB_YESNO, [&](CMessageBox&) { display->Inject(end); }), IDNO);
}

TEST_F(MessageBoxTest, OpensCentredOverItsOwnerOrTheScreen)
{
    ui::Window main;
    ASSERT_TRUE(main.Create(nullptr, gfx::Rect::FromSize(100, 100, 700, 494)));
    ui::Window other;
    ASSERT_TRUE(other.Create(nullptr, gfx::Rect::FromSize(1100, 900, 400, 300)));
    struct Case
    {
        const char* what;
        WindowHandle registered;
        ui::Window* passed;
        bool mainShown;
        gfx::Point at;
    };
    const Case cases[] = {
        {"no owner: the screen", kNoWindow, nullptr, true, {482, 433}},
        {"the registered owner", main.Handle(), nullptr, true, {292, 268}},
        {"a hidden owner: the screen", main.Handle(), nullptr, false, {482, 433}},
        // Centred over a window near the corner, then kept on the screen.
        {"the owner passed, kept on screen", main.Handle(), &other, true, {965, 867}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMessageBox::SetOwner(c.registered);
        main.ShowWindow(c.mainShown ? ui::ShowCommand::Show : ui::ShowCommand::Hide);
        CMessageBox box("Where?", MB_OK);
        ui::PostTask([&] {
            EXPECT_EQ(box.GetWindowRect().TopLeft(), c.at);
            display->PressKey(ui::VK_ESCAPE);
        });
        box.Run(c.passed);
    }
    // Every box of the program goes there.
    CMessageBox::SetOwner(main.Handle());
    main.ShowWindow(ui::ShowCommand::Show);
    const MessageBoxHandler previous = InstallSkinnedMessageBox();
    int boxes = 0;
    ui::PostTask([&] {
        for (ui::Window* w : system->TopLevelWindows()) {
            if (dynamic_cast<CMessageBox*>(w) != nullptr) {
                EXPECT_EQ(w->GetWindowRect().TopLeft(), (gfx::Point{292, 268}));
                ++boxes;
            }
        }
        display->PressKey(ui::VK_ESCAPE);
    });
    EXPECT_EQ(AfxMessageBox("Sure?", MB_YESNO), IDNO);
    EXPECT_EQ(boxes, 1);
    // Asked from a job's thread, the box is handed to the UI thread (a dialog
    // anywhere else is refused) and the job gets its answer.
    std::atomic<int> fromJob{-1};
    std::thread job([&] { fromJob = AfxMessageBox("From a job", MB_YESNO); });
    std::function<void()> answerOnceOpen = [&] {
        if (fromJob != -1) {
            return;
        }
        for (ui::Window* w : system->TopLevelWindows()) {
            if (dynamic_cast<CMessageBox*>(w) != nullptr && w->IsVisible()) {
                display->PressKey('Y');
                return;
            }
        }
        ui::PostTask(answerOnceOpen);
    };
    ui::PostTask(answerOnceOpen);
    EXPECT_TRUE(system->RunUntil([&] { return fromJob != -1; }, std::chrono::seconds(10)));
    job.join();
    system->RunPending(); // the last look, before answerOnceOpen goes
    EXPECT_EQ(fromJob, IDYES);
    SetMessageBoxHandler(previous);
    CMessageBox::SetOwner(kNoWindow);
    // Opened off the UI thread without the hand-over: a debug build stops
    // there; otherwise the box is refused and touches no window.
    // Threadsafe: the child starts afresh rather than forking a threaded test.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEBUG_DEATH(std::thread([] { CMessageBox("Stray", MB_OK).Run(); }).join(),
                       "off the UI thread");
}

TEST_F(MessageBoxTest, SkinnedRoundedWindowWithTheTextInItsLabelLooksAsItDid)
{
    const std::filesystem::path golden =
        std::filesystem::path(TOLVAR_GOLDEN_DIR) / "message_box_yes_no.png";
    const gfx::Bitmap background = LoadBitmapResource(185);
    const std::string text = "This action will delete the file.\nDo you want to continue?";
    RunBox(text, MB_YESNO, [&](CMessageBox& box) {
        display->PressKey(ui::VK_ESCAPE); // served once this look is over
        EXPECT_EQ(box.GetWindowRect().GetSize(), background.GetSize());
        ASSERT_TRUE(box.GetWindowRgn().has_value());
        EXPECT_FALSE(box.GetWindowRgn()->Contains({0, 0}));
        EXPECT_FALSE(box.GetWindowRgn()->Contains({314, 156}));
        EXPECT_TRUE(box.GetWindowRgn()->Contains({20, 2}));
        ui::Window* label = box.GetDlgItem(CMessageBox::kTextId);
        ASSERT_NE(label, nullptr);
        // Centred on the box, as the buttons are.
        EXPECT_EQ(label->GetRectInParent(), gfx::Rect::FromSize(29, 55, 256, 60));
        EXPECT_EQ(label->GetWindowText(), text);

        // The picture itself (text centred in light grey, No outlined as it
        // has the keyboard) is the golden one.
        // TOLVAR_REGENERATE_GOLDEN=1 rewrites it after a deliberate change.
        const gfx::Bitmap shot = system->CaptureWindow(box);
        if (std::getenv("TOLVAR_REGENERATE_GOLDEN")) {
            ASSERT_TRUE(shot.SavePng(golden));
        } else {
            const auto expected = gfx::Bitmap::LoadPng(golden);
            ASSERT_TRUE(expected.has_value()) << golden;
            EXPECT_TRUE(ShowsPicture(shot, {0, 0}, *expected));
        }
    });
}

} // namespace
} // namespace tolvar::test
