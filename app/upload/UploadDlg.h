#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Font.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Edit.h"
#include "platform/ui/ToolTip.h"
#include "widgets/HoverButton.h"
#include "widgets/Label.h"

#include <string>

namespace tolvar {

struct UploadFormFields;

// The form in which the user confirms a save before it goes to the online
// community: the save's game, date and size, the name it is published under
// and a description, Submit or Cancel. The caller fills the texts, runs it
// with DoModal (1 Submit, 2 Cancel) and reads the name and description back.
class CUploadDlg : public ui::Dialog
{
public:
    static constexpr unsigned kCancelId = 1002;
    static constexpr unsigned kSubmitId = 1021;
    static constexpr unsigned kGameId = 1022;
    static constexpr unsigned kDateId = 1023;
    static constexpr unsigned kSizeId = 1024;
    static constexpr unsigned kNameEditId = 1029;
    static constexpr unsigned kDescriptionEditId = 1031;

    CUploadDlg();
    ~CUploadDlg() override;

    // The edit class of the form: a plain edit.
    class Edit : public ui::Edit
    {
    public:
        using ui::Edit::Edit;
    };

    std::string m_saveName;
    std::string m_description;
    std::string m_sizeText;
    std::string m_dateText;
    std::string m_titleId; // the save's game; the caption stays when empty

    const ui::ToolTip& GetToolTip() const { return m_toolTip; }

protected:
    bool OnInitDialog() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;
    void OnClose() override;
    // Enter and Escape leave the form open: only its buttons end it.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ReadEdits();

    gfx::Brush m_editBrush;
    int m_backgroundWidth = 0;
    int m_backgroundHeight = 0;
    gfx::Bitmap m_background;
    ui::ToolTip m_toolTip;
    gfx::FontPtr m_textFont;
    CLabel m_gameLabel;
    CLabel m_dateLabel;
    CLabel m_sizeLabel;
    CHoverButton m_submitButton;
    CHoverButton m_cancelButton;
    Edit m_descriptionEdit;
    Edit m_nameEdit;
};

// Runs the form for one save on the UI thread, owned by owner, whatever
// thread asks (the upload job's does): the fields go in and the edited name
// and description come back. Returns 1 for Submit, 2 for Cancel.
int RunUploadDlg(WindowHandle owner, UploadFormFields& fields);

} // namespace tolvar
