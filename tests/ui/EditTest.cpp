#include "tests/ui/UiFixture.h"

#include "platform/ui/Dialog.h"
#include "platform/ui/Edit.h"

using namespace tolvar;
using namespace tolvar::ui;

namespace {

class Form : public Window
{
public:
    int changes = 0;
    int kills = 0;

protected:
    bool OnCommand(unsigned, unsigned code, WindowHandle) override
    {
        changes += code == EN_CHANGE;
        kills += code == EN_KILLFOCUS;
        return true;
    }
};

} // namespace

class EditTest : public test::UiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(form.Create(nullptr, Rect::FromSize(0, 0, 400, 200)));
        ASSERT_TRUE(line.Create(&form, Rect::FromSize(10, 10, 271, 18), 1029));
        ASSERT_TRUE(box.Create(&form, Rect::FromSize(10, 40, 271, 45), 1031));
        line.SetFocus();
    }
    void Keys(std::initializer_list<unsigned> keys)
    {
        for (unsigned k : keys) {
            display->PressKey(k);
        }
        Pump();
    }
    std::pair<int, int> Sel(const Edit& e)
    {
        int s, t;
        e.GetSel(s, t);
        return {s, t};
    }

    Form form;
    Edit line{kEditSingleLine | kEditAutoHScroll};
    Edit box{kEditMultiLine | kEditAutoHScroll | kEditWantReturn};
};

TEST_F(EditTest, TypingCaretMovesAndDeletion)
{
    display->Type("Hello world");
    Pump();
    EXPECT_EQ(line.GetText(), "Hello world");
    EXPECT_EQ(form.changes, 11);
    Keys({VK_HOME, VK_RIGHT, VK_DELETE}); // H|ello -> H|llo
    EXPECT_EQ(line.GetText(), "Hllo world");
    Keys({VK_BACK}); // |llo
    EXPECT_EQ(line.GetText(), "llo world");
    Keys({VK_BACK}); // nothing before the caret
    EXPECT_EQ(line.GetText(), "llo world");
    Keys({VK_END, VK_LEFT, VK_LEFT});
    display->Type("X");
    Pump();
    EXPECT_EQ(line.GetText(), "llo worXld");
    Keys({VK_END, VK_DELETE}); // nothing after the caret
    EXPECT_EQ(line.GetText(), "llo worXld");
    EXPECT_EQ(line.GetCaret(), 10u);
}

TEST_F(EditTest, ShiftSelectsAndTypingReplacesTheSelection)
{
    line.SetText("abcdef");
    Keys({VK_HOME, VK_RIGHT});
    display->KeyDown(VK_SHIFT);
    display->PressKey(VK_RIGHT);
    display->PressKey(VK_RIGHT);
    display->KeyUp(VK_SHIFT);
    Pump();
    EXPECT_EQ(Sel(line), std::make_pair(1, 3));
    display->Type("Z");
    Pump();
    EXPECT_EQ(line.GetText(), "aZdef");
    // Shift+End then Delete removes the rest.
    display->KeyDown(VK_SHIFT);
    display->PressKey(VK_END);
    display->KeyUp(VK_SHIFT);
    Keys({VK_DELETE});
    EXPECT_EQ(line.GetText(), "aZ");
    // Ctrl+A selects all; Backspace empties the box.
    display->KeyDown(VK_CONTROL);
    display->PressKey('A');
    display->KeyUp(VK_CONTROL);
    Pump();
    EXPECT_EQ(Sel(line), std::make_pair(0, 2));
    Keys({VK_BACK});
    EXPECT_EQ(line.GetText(), "");
    // Left with a selection collapses it to its start.
    line.SetText("hello");
    line.SetSel(1, 4);
    Keys({VK_LEFT});
    EXPECT_EQ(Sel(line), std::make_pair(1, 1));
    line.SetSel(0, -1);
    EXPECT_EQ(Sel(line), std::make_pair(0, 5));
}

TEST_F(EditTest, MultiLineEnterBreaksLinesAndArrowsCrossThem)
{
    box.SetFocus();
    display->Type("first");
    display->PressKey(VK_RETURN);
    display->Type("second");
    Pump();
    EXPECT_EQ(box.GetText(), "first\r\nsecond");
    Keys({VK_UP}); // to the first line, near the same x
    EXPECT_LE(box.GetCaret(), 5u);
    Keys({VK_END});
    EXPECT_EQ(box.GetCaret(), 5u);
    Keys({VK_RIGHT}); // over the line break in one step
    EXPECT_EQ(box.GetCaret(), 7u);
    Keys({VK_BACK}); // joins the lines again
    EXPECT_EQ(box.GetText(), "firstsecond");
    Keys({VK_HOME});
    EXPECT_EQ(box.GetCaret(), 0u);
    // A single-line box ignores Enter.
    line.SetFocus();
    display->Type("one");
    display->PressKey(VK_RETURN);
    Pump();
    EXPECT_EQ(line.GetText(), "one");
}

TEST_F(EditTest, Utf8TextMovesByWholeCharactersAndWindows1252ByBytes)
{
    line.SetText("a\xC3\xA9z"); // a é z in UTF-8
    Keys({VK_END, VK_LEFT, VK_LEFT});
    EXPECT_EQ(line.GetCaret(), 1u);
    Keys({VK_DELETE});
    EXPECT_EQ(line.GetText(), "az");
    display->Type("\xC3\xA9");
    Pump();
    EXPECT_EQ(line.GetText(), "a\xC3\xA9z");
    // Text in the code page: typed é becomes its one byte.
    line.SetText("caf\xE9");
    Keys({VK_END});
    display->Type("\xC3\xA9");
    Keys({VK_LEFT, VK_BACK});
    EXPECT_EQ(line.GetText(), "caf\xE9");
}

TEST_F(EditTest, FocusLossNotifiesTheParentAndClicksPlaceTheCaret)
{
    line.SetText("abcdefgh");
    box.SetFocus();
    EXPECT_EQ(form.kills, 1);
    // A click at the left edge of the line box puts the caret at 0 and
    // takes the focus.
    display->Click(line.ClientToScreen({1, 5}));
    Pump();
    EXPECT_TRUE(line.HasFocus());
    EXPECT_EQ(line.GetCaret(), 0u);
    display->Click(line.ClientToScreen({250, 5}));
    Pump();
    EXPECT_EQ(line.GetCaret(), 8u);
}

TEST_F(EditTest, CaretAndTextArePainted)
{
    line.SetText("W");
    line.SetSel(1, 1);
    gfx::Bitmap shot = system->CaptureWindow(line);
    // Default colours: black text on white, and the caret after the W.
    int dark = 0;
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            dark += gfx::Red(shot.Pixel(x, y)) < 100;
        }
    }
    EXPECT_GT(dark, 10);
    EXPECT_EQ(shot.Pixel(shot.Width() - 2, 5), gfx::Rgb(255, 255, 255));
}

TEST_F(EditTest, EnterInADialogEndsItUnlessTheBoxTakesIt)
{
    class Upload : public Dialog
    {
    public:
        Upload() : Dialog({300, 120}) {}
        Edit name{kEditSingleLine};
        Edit description{kEditMultiLine | kEditWantReturn};

    protected:
        bool OnInitDialog() override
        {
            WindowStyle tab;
            tab.tabStop = true;
            name.Create(this, Rect::FromSize(5, 5, 200, 18), 1029, tab);
            description.Create(this, Rect::FromSize(5, 30, 200, 45), 1031, tab);
            return true;
        }
    };
    Upload dialog;
    std::string typed;
    PostTask([&] {
        EXPECT_TRUE(dialog.name.HasFocus()); // the first tab stop
        display->PressKey(VK_TAB);
        display->Type("x");
        display->PressKey(VK_RETURN); // a line break in the description
        display->Type("y");
        PostTask([&] {
            typed = dialog.description.GetText();
            display->PressKey(VK_TAB);
            display->PressKey(VK_RETURN); // ends the dialog from the name box
        });
    });
    EXPECT_EQ(dialog.DoModal(), IDC_OK);
    EXPECT_EQ(typed, "x\r\ny");
}

TEST_F(EditTest, CutCopyAndPasteGoThroughTheClipboardInEachBoxsKindOfText)
{
    auto ctrl = [&](unsigned key) {
        display->KeyDown(VK_CONTROL);
        display->PressKey(key);
        display->KeyUp(VK_CONTROL);
        Pump();
        Pump(); // the pasted text arrives as posted work
    };
    auto clipboard = [&] {
        return display->SelectionText(Selection::Clipboard).value_or("<none>");
    };
    line.SetText("Hello world");
    line.SetSel(6, -1);
    ctrl('C');
    EXPECT_EQ(clipboard(), "world");
    EXPECT_EQ(line.GetText(), "Hello world");
    Keys({VK_HOME});
    ctrl('V');
    EXPECT_EQ(line.GetText(), "worldHello world");
    EXPECT_EQ(line.GetCaret(), 5u);
    ctrl('A');
    ctrl('X');
    EXPECT_EQ(line.GetText(), "");
    EXPECT_EQ(clipboard(), "worldHello world");

    struct Case
    {
        const char* what;
        Edit& edit;
        std::string before; // selected whole before the paste
        std::string pasted;
        std::size_t limit;
        std::string after;
    };
    const Case cases[] = {
        {"line breaks of a box", box, "", "x\ny\r\nz\rw", 0, "x\r\ny\r\nz\r\nw"},
        {"first line only in a line", line, "", "x\ny", 0, "x"},
        {"tabs and control characters", line, "",
         "a\tb\x01\x7F"
         "c",
         0, "a bc"},
        {"cut to the limit between characters", line, "", "ab\xC3\xA9", 3, "ab"},
        {"code-page text keeps its bytes", line, "caf\xE9", "\xC3\xA9\xE2\x82\xAC\xE2\x9C\x93", 0,
         "\xE9\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.edit.SetLimitText(c.limit);
        c.edit.SetText(c.before);
        c.edit.SetSel(0, -1);
        c.edit.SetFocus();
        display->SetSelectionText(Selection::Clipboard, c.pasted);
        ctrl('V');
        EXPECT_EQ(c.edit.GetText(), c.after);
    }
    // Copied out: UTF-8 with plain line feeds, whatever the box holds.
    box.SetText("caf\xE9\r\nbar");
    box.SetSel(0, -1);
    box.SetFocus();
    ctrl('C');
    EXPECT_EQ(clipboard(), "caf\xC3\xA9\nbar");

    // A read-only box copies but neither cuts nor pastes.
    Edit shown(kEditSingleLine | kEditReadOnly);
    ASSERT_TRUE(shown.Create(&form, Rect::FromSize(10, 100, 271, 18), 1033));
    shown.SetText("fixed");
    shown.SetSel(0, -1);
    shown.SetFocus();
    ctrl('X');
    ctrl('V');
    EXPECT_EQ(shown.GetText(), "fixed");
    EXPECT_EQ(clipboard(), "caf\xC3\xA9\nbar");
    ctrl('C');
    EXPECT_EQ(clipboard(), "fixed");
}

TEST_F(EditTest, ASelectionIsOfferedAsPrimaryAndTheMiddleButtonPastesIt)
{
    line.SetText("pick me");
    // Drag across "pick" with the left button.
    display->MouseMove(line.ClientToScreen({1, 5}));
    display->MouseDown();
    display->MouseMove(line.ClientToScreen({line.GetFont()->TextExtent("pick").width + 2, 5}));
    display->MouseUp();
    Pump();
    EXPECT_EQ(display->SelectionText(Selection::Primary), "pick");
    EXPECT_EQ(display->SelectionText(Selection::Clipboard), std::nullopt)
        << "selecting is not copying";

    box.SetText("ab");
    display->Click(box.ClientToScreen({box.GetFont()->TextExtent("a").width + 2, 5}),
                   InputEvent::Button::Middle);
    Pump();
    Pump();
    EXPECT_TRUE(box.HasFocus());
    EXPECT_EQ(box.GetText(), "apickb");
}

TEST_F(EditTest, TheCaretBlinksWhileTheBoxHasTheFocus)
{
    // Default colours: a black caret at the left margin of an empty line.
    auto caretDrawn = [&] {
        Pump();
        return gfx::Red(system->CaptureWindow(line).Pixel(2, 6)) < 100;
    };
    EXPECT_TRUE(caretDrawn());
    Advance(Edit::kCaretBlinkMs);
    EXPECT_FALSE(caretDrawn());
    Advance(Edit::kCaretBlinkMs);
    EXPECT_TRUE(caretDrawn());
    Advance(Edit::kCaretBlinkMs);
    EXPECT_FALSE(caretDrawn());
    // Typing shows it at once and starts the blink over.
    Keys({VK_HOME});
    EXPECT_TRUE(caretDrawn());
    Advance(Edit::kCaretBlinkMs - 100);
    EXPECT_TRUE(caretDrawn());
    box.SetFocus();
    Advance(Edit::kCaretBlinkMs);
    EXPECT_FALSE(caretDrawn()) << "no caret without the focus";
}
