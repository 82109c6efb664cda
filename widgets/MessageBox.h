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
    // button (Escape, Enter, the window manager's close) a Yes/No box answers
    // No and any other box 0.
    int Run(ui::Window* owner = nullptr);

    const std::string& Text() const { return m_text; }
    unsigned Type() const { return m_type; }

protected:
    bool OnInitDialog() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void CloseWithoutButton();

    ui::BitmapButton m_okButton;
    ui::BitmapButton m_cancelButton;
    ui::BitmapButton m_yesButton;
    ui::BitmapButton m_noButton;
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
