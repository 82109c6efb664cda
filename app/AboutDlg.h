#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/ui/BitmapButton.h"
#include "platform/ui/Dialog.h"
#include "widgets/Label.h"

namespace tolvar {

// The About box of template 100: the program's icon, its name and version
// and a second line, on the skin's small panel with its OK button. OK,
// Enter and Escape close it.
class CAboutDlg : public ui::Dialog
{
public:
    static constexpr int IDD = 100;

    CAboutDlg();
    ~CAboutDlg() override;

protected:
    bool OnInitDialog() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;

private:
    gfx::Bitmap m_picture; // the panel with the icon laid on it
    CLabel m_nameLabel;
    CLabel m_lineLabel;
    ui::BitmapButton m_okButton;
};

} // namespace tolvar
