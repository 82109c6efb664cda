#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Font.h"
#include "platform/ui/BitmapButton.h"
#include "platform/ui/Dialog.h"
#include "widgets/Label.h"

#include <string>

namespace tolvar {

// The program's one message box: a borderless, rounded dialog painted from
// bitmap 185 with the message centred in light grey and one or two bitmap
// buttons chosen by the type (OK; OK and Cancel; Yes and No). Run returns the
// code of the button pressed, as a standard message box does.
class CMessageBox : public ui::Dialog
{
public:
    static constexpr unsigned kOkId = 1002;
    static constexpr unsigned kCancelId = 1013;
    static constexpr unsigned kYesId = 1014;
    static constexpr unsigned kNoId = 1015;
    static constexpr unsigned kTextId = 1016;

    CMessageBox(std::string text, unsigned type);
    ~CMessageBox() override;

    // Runs the box modally: 1 OK, 2 Cancel, 6 Yes, 7 No. Closed without a
    // button (Escape, the window manager's close) a Yes/No box answers No and
    // any other box 0. Enter and Space press the focused button; Y and N
    // answer a Yes/No box. The box opens centred over owner, else over the
    // window registered with SetOwner, else on the screen.
    int Run(ui::Window* owner = nullptr);

    // The window message boxes belong to (the main window); kNoWindow for
    // none. Any thread may set it.
    static void SetOwner(WindowHandle owner);
    static WindowHandle GetOwner();

    const std::string& Text() const { return m_text; }
    unsigned Type() const { return m_type; }

protected:
    bool OnInitDialog() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;
    void OnOK() override;
    void OnCancel() override;

public:
    bool PreTranslateMessage(ui::Message& message) override;
    ui::AccessibleInfo Describe() const override;

    // A box button: its picture, and the dotted focus outline while it has
    // the keyboard focus.
    class Button : public ui::BitmapButton
    {
    protected:
        void DrawItem(gfx::Painter& painter, Face face) override;
    };

private:
    void CloseWithoutButton();
    ui::Point CentredPosition(ui::Window* owner) const;

    Button m_okButton;
    Button m_cancelButton;
    Button m_yesButton;
    Button m_noButton;
    std::string m_text;
    unsigned m_type;
    CLabel m_textLabel;
    int m_result = 0;
    gfx::Bitmap m_background;
    int m_backgroundWidth = 0;
    int m_backgroundHeight = 0;
    gfx::FontPtr m_textFont;
};

} // namespace tolvar
