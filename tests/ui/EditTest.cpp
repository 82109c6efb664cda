#include "tests/ui/UiFixture.h"

#include "platform/ui/Edit.h"

#include <map>

using namespace tolvar;
using namespace tolvar::ui;

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

    Window form;
    Edit line{kEditSingleLine | kEditAutoHScroll};
    Edit box{kEditMultiLine | kEditAutoHScroll | kEditWantReturn};
};

TEST_F(EditTest, KeysMoveTheCaretDeleteSelectAndTypeOverTheSelection)
{
    display->Type("Hello world");
    Pump();
    EXPECT_EQ(line.GetText(), "Hello world");

    // Keys: H Home, E End, < Left, > Right, D Delete, B Backspace, R Enter,
    // } Shift+Right, ] Shift+End, A Ctrl+A; then the text is typed.
    const std::map<char, std::pair<unsigned, unsigned>> keyOf = {
        {'H', {VK_HOME, 0}},     {'E', {VK_END, 0}},          {'<', {VK_LEFT, 0}},
        {'>', {VK_RIGHT, 0}},    {'D', {VK_DELETE, 0}},       {'B', {VK_BACK, 0}},
        {'R', {VK_RETURN, 0}},   {'}', {VK_RIGHT, VK_SHIFT}}, {']', {VK_END, VK_SHIFT}},
        {'A', {'A', VK_CONTROL}}};
    struct Row
    {
        std::string before;
        std::pair<int, int> selected;
        std::string keys, typed, after;
        std::pair<int, int> selection;
    };
    const Row rows[] = {
        {"Hello", {5, 5}, "H>D", "", "Hllo", {1, 1}},
        {"Hllo", {1, 1}, "B", "", "llo", {0, 0}},
        {"llo", {0, 0}, "B", "", "llo", {0, 0}},  // nothing before the caret
        {"llo", {1, 1}, "ED", "", "llo", {3, 3}}, // nothing after it
        {"world", {5, 5}, "<<", "X", "worXld", {4, 4}},
        {"abcdef", {0, 0}, "H>}}", "", "abcdef", {1, 3}},
        {"abcdef", {1, 3}, "", "Z", "aZdef", {2, 2}}, // typing replaces the selection
        {"aZdef", {2, 2}, "]D", "", "aZ", {2, 2}},
        {"aZ", {1, 1}, "A", "", "aZ", {0, 2}},
        {"aZ", {0, 2}, "B", "", "", {0, 0}},
        {"hello", {1, 4}, "<", "", "hello", {1, 1}}, // collapses to the selection's start
        {"one", {3, 3}, "R", "", "one", {3, 3}},     // a line ignores Enter
        // UTF-8 text moves and deletes by whole characters, text in the code
        // page by bytes, and typed é becomes its one byte there.
        {"a\xC3\xA9z", {0, 0}, "E<<", "", "a\xC3\xA9z", {1, 1}},
        {"a\xC3\xA9z", {1, 1}, "D", "\xC3\xA9", "a\xC3\xA9z", {3, 3}},
        {"caf\xE9", {4, 4}, "", "\xC3\xA9", "caf\xE9\xE9", {5, 5}},
        {"caf\xE9\xE9", {5, 5}, "<B", "", "caf\xE9", {3, 3}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&r - rows));
        line.SetText(r.before);
        line.SetSel(r.selected.first, r.selected.second);
        for (char c : r.keys) {
            const auto [vk, modifier] = keyOf.at(c);
            if (modifier) {
                display->KeyDown(modifier);
            }
            display->PressKey(vk);
            if (modifier) {
                display->KeyUp(modifier);
            }
        }
        display->Type(r.typed);
        Pump();
        EXPECT_EQ(line.GetText(), r.after);
        EXPECT_EQ(Sel(line), r.selection);
    }
    line.SetSel(0, -1);
    EXPECT_EQ(Sel(line), std::make_pair(0, 4));
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
}

TEST_F(EditTest, ClicksTakeTheFocusAndPlaceTheCaret)
{
    line.SetText("abcdefgh");
    box.SetFocus();
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

TEST_F(EditTest, ADragAcrossTheTextOffersItAsPrimaryWithoutCopying)
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
}

TEST_F(EditTest, TheCaretBlinksWhileTheBoxHasTheFocusAndTheTextIsPainted)
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
    // The text is drawn in black on white.
    line.SetText("W");
    const gfx::Bitmap shot = system->CaptureWindow(line);
    int dark = 0;
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            dark += gfx::Red(shot.Pixel(x, y)) < 100;
        }
    }
    EXPECT_GT(dark, 10);
    EXPECT_EQ(shot.Pixel(shot.Width() - 2, 5), gfx::Rgb(255, 255, 255));
}
