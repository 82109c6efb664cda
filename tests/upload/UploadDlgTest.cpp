#include "app/upload/UploadDlg.h"

#include "platform/ui/WindowMessages.h"
#include "tests/ui/UiFixture.h"

#include <functional>

namespace tolvar::test {
namespace {

using Dlg = CUploadDlg;

class UploadDlgTest : public UiTest
{
protected:
    // Runs the form with the texts a 1536-byte save gives; whileOpen runs in
    // its modal loop once it is set up.
    int Run(Dlg& dlg, std::function<void()> whileOpen)
    {
        dlg.m_saveName = "Ghost Lap";
        dlg.m_description = "Ghost Lap";
        dlg.m_sizeText = "1.50";
        dlg.m_dateText = "05/12/2004";
        dlg.m_titleId = "GL150";
        ui::PostTask([&] { whileOpen(); });
        return dlg.DoModal();
    }
    void Click(Dlg& dlg, unsigned id)
    {
        ui::Window* w = dlg.GetDlgItem(id);
        ASSERT_NE(w, nullptr);
        display->Click(w->ClientToScreen(gfx::Point{20, 10}));
    }
    ui::Edit& EditOf(Dlg& dlg, unsigned id) { return static_cast<ui::Edit&>(*dlg.GetDlgItem(id)); }
};

TEST_F(UploadDlgTest, ShowsTheCallersTextsOnItsRoundedPicture)
{
    Dlg dlg;
    Run(dlg, [&] {
        EXPECT_EQ(dlg.GetClientRect().GetSize(), (gfx::Size{397, 251}));
        EXPECT_EQ(dlg.GetDlgItem(Dlg::kGameId)->GetWindowText(), "GL150");
        EXPECT_EQ(dlg.GetDlgItem(Dlg::kDateId)->GetWindowText(), "05/12/2004");
        EXPECT_EQ(dlg.GetDlgItem(Dlg::kSizeId)->GetWindowText(), "1.50 KB");
        EXPECT_EQ(EditOf(dlg, Dlg::kNameEditId).GetText(), "Ghost Lap");
        EXPECT_EQ(EditOf(dlg, Dlg::kDescriptionEditId).GetText(), "Ghost Lap");

        // Black edits with light text; the corners are cut round.
        const gfx::Bitmap shot = system->CaptureWindow(dlg);
        EXPECT_TRUE(gfx::SameRgb(shot.Pixel(370, 155), gfx::Rgb(0, 0, 0)));
        EXPECT_TRUE(gfx::SameRgb(shot.Pixel(370, 104), gfx::Rgb(0, 0, 0)));
        ASSERT_TRUE(dlg.GetWindowRgn().has_value());
        EXPECT_FALSE(dlg.GetWindowRgn()->Contains({1, 1}));
        EXPECT_TRUE(dlg.GetWindowRgn()->Contains({200, 125}));
        dlg.EndDialog(2);
    });
}

TEST_F(UploadDlgTest, OnlyItsButtonsAndClosingEndIt)
{
    struct Case
    {
        const char* what;
        std::function<void(Dlg&)> act;
        int result;
        std::string name;
        std::string description;
    };
    const Case cases[] = {
        // Enter breaks a line in the description only; Escape does nothing.
        {"keys then Submit",
         [this](Dlg& dlg) {
             EditOf(dlg, Dlg::kNameEditId).SetSel(-1, -1);
             display->Type("!");
             display->PressKey(ui::VK_RETURN);
             display->PressKey(ui::VK_ESCAPE);
             display->PressKey(ui::VK_TAB);
             display->PressKey(ui::VK_END);
             display->PressKey(ui::VK_RETURN);
             display->Type("fast");
             display->PressKey(ui::VK_ESCAPE);
             ui::PostTask([this, &dlg] {
                 EXPECT_TRUE(dlg.IsWindow());
                 Click(dlg, Dlg::kSubmitId);
             });
         },
         1, "Ghost Lap!", "Ghost Lap\r\nfast"},
        // Tabbing into an edit selects its text: typing replaces it.
        {"Tab then type",
         [this](Dlg& dlg) {
             display->PressKey(ui::VK_TAB);
             display->Type("Mine");
             ui::PostTask([this, &dlg] { Click(dlg, Dlg::kSubmitId); });
         },
         1, "Ghost Lap", "Mine"},
        {"Cancel reads the edits too",
         [this](Dlg& dlg) {
             EditOf(dlg, Dlg::kNameEditId).SetText("Other");
             Click(dlg, Dlg::kCancelId);
         },
         2, "Other", "Ghost Lap"},
        {"Alt+F4 submits",
         [this](Dlg& dlg) {
             EditOf(dlg, Dlg::kDescriptionEditId).SetText("");
             display->KeyDown(ui::VK_MENU);
             display->PressKey(ui::VK_F4);
             display->KeyUp(ui::VK_MENU);
         },
         1, "Ghost Lap", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dlg dlg;
        EXPECT_EQ(Run(dlg, [&] { c.act(dlg); }), c.result);
        EXPECT_EQ(dlg.m_saveName, c.name);
        EXPECT_EQ(dlg.m_description, c.description);
    }
}

} // namespace
} // namespace tolvar::test
