#include "app/upload/UploadDlg.h"

#include "online/SaveUploader.h"
#include "platform/base/UiThread.h"
#include "resources/DialogResources.h"
#include "resources/Resources.h"

namespace tolvar {

namespace {

constexpr int kBackgroundId = 208;
constexpr int kTemplateId = 207;
constexpr gfx::Color kTextColor = gfx::FromColorRef(0xEBEBEB);
// The tip colours of the main window.
constexpr gfx::Color kTipBackground = gfx::FromColorRef(0x401701);
constexpr gfx::Color kTipText = gfx::FromColorRef(0xEBB699);

gfx::Rect TemplateRect(unsigned controlId)
{
    const DialogTemplate* t = FindDialogTemplate(kTemplateId);
    const ControlTemplate* c = t ? t->Control(static_cast<int>(controlId)) : nullptr;
    return c ? DialogUnitsToPixels(c->units) : gfx::Rect{};
}

std::string TemplateText(unsigned controlId)
{
    const DialogTemplate* t = FindDialogTemplate(kTemplateId);
    const ControlTemplate* c = t ? t->Control(static_cast<int>(controlId)) : nullptr;
    return c ? c->text : std::string();
}

} // namespace

CUploadDlg::CUploadDlg()
    : m_editBrush(gfx::Brush::Solid(gfx::Rgb(0, 0, 0))),
      m_background(LoadBitmapResource(kBackgroundId)),
      m_submitButton("UPLOAD_SUBMIT_UP", "UPLOAD_SUBMIT_OVER", "UPLOAD_SUBMIT_DOWN", nullptr),
      m_cancelButton("UPLOAD_CANCEL_UP", "UPLOAD_CANCEL_OVER", "UPLOAD_CANCEL_DOWN", nullptr),
      m_descriptionEdit(ui::kEditMultiLine | ui::kEditAutoHScroll | ui::kEditWantReturn),
      m_nameEdit(ui::kEditSingleLine | ui::kEditAutoHScroll)
{
    // Opens at its picture's size so that it is centred as it will be shown.
    if (!m_background.IsNull()) {
        SetInitialSize(m_background.GetSize());
    }
}

CUploadDlg::~CUploadDlg() = default;

bool CUploadDlg::OnInitDialog()
{
    for (auto [label, id] : {std::pair<CLabel*, unsigned>{&m_gameLabel, kGameId},
                             {&m_dateLabel, kDateId},
                             {&m_sizeLabel, kSizeId}}) {
        label->Create(this, TemplateRect(id), id);
        label->SetTextFormat(gfx::kTextLeft | gfx::kTextWordBreak | gfx::kTextNoPrefix);
        label->SetWindowText(TemplateText(id));
    }
    ui::WindowStyle tabStop;
    tabStop.tabStop = true;
    // Tab order as the template lists them: the name, then the description.
    m_nameEdit.Create(this, TemplateRect(kNameEditId), kNameEditId, tabStop);
    m_descriptionEdit.Create(this, TemplateRect(kDescriptionEditId), kDescriptionEditId, tabStop);
    m_nameEdit.SetText(m_saveName);
    m_descriptionEdit.SetText(m_description);

    m_submitButton.Create(*this, kSubmitId, TemplateRect(kSubmitId).TopLeft());
    m_cancelButton.Create(*this, kCancelId, TemplateRect(kCancelId).TopLeft());
    SetAccessibleName("Upload");
    m_nameEdit.SetAccessibleName("Name"); // as the labels on the form read
    m_descriptionEdit.SetAccessibleName("Description");
    m_submitButton.SetAccessibleName("Submit");
    m_cancelButton.SetAccessibleName("Cancel");

    m_backgroundWidth = m_background.Width();
    m_backgroundHeight = m_background.Height();
    if (!m_background.IsNull()) {
        SetWindowSize({m_backgroundWidth, m_backgroundHeight});
    }
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40), false);

    m_textFont = gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Bold);
    SetFont(m_textFont, false);
    for (ui::Window* w : std::initializer_list<ui::Window*>{
             &m_sizeLabel, &m_dateLabel, &m_gameLabel, &m_nameEdit, &m_descriptionEdit}) {
        w->SetFont(m_textFont, false);
    }

    m_gameLabel.MoveWindow(gfx::Rect::FromSize(105, 63, 267, 16));
    m_nameEdit.MoveWindow(gfx::Rect::FromSize(102, 89, 271, 18));
    m_descriptionEdit.MoveWindow(gfx::Rect::FromSize(102, 115, 271, 45));
    m_dateLabel.MoveWindow(gfx::Rect::FromSize(105, 170, 87, 16));
    m_sizeLabel.MoveWindow(gfx::Rect::FromSize(285, 170, 87, 16));
    m_cancelButton.SetWindowPos({98, 216});
    m_submitButton.SetWindowPos({199, 216});

    m_descriptionEdit.SetText(m_description);
    m_nameEdit.SetText(m_saveName);
    m_dateLabel.SetWindowText(m_dateText);
    if (!m_titleId.empty()) {
        m_gameLabel.SetWindowText(m_titleId);
    }
    m_sizeText += " KB";
    m_sizeLabel.SetWindowText(m_sizeText);

    m_toolTip.Create(this, ui::ToolTip::Style::Balloon);
    m_toolTip.SetDelayTime(ui::TTDT_AUTOMATIC, 1500);
    m_toolTip.SetTipBkColor(kTipBackground);
    m_toolTip.SetTipTextColor(kTipText);
    m_toolTip.SetMaxTipWidth(300);
    m_toolTip.AddTool(&m_nameEdit, "The name the save is published under");
    m_toolTip.AddTool(&m_descriptionEdit,
                      "A few words on the save: how far it goes, what it unlocks");
    m_toolTip.AddTool(&m_submitButton, "Send the save to the Online Community");
    m_toolTip.AddTool(&m_cancelButton, "Keep the save to yourself");

    m_nameEdit.SetFocus();
    m_nameEdit.SetSel(0, -1);
    return false; // the focus is placed
}

void CUploadDlg::OnPaint(gfx::Painter& painter)
{
    painter.DrawBitmap({0, 0}, m_background);
}

void CUploadDlg::OnCtlColor(ui::Window& control, ui::CtlColorKind, ui::ControlColors& colors)
{
    colors.text = kTextColor;
    if (&control == &m_nameEdit || &control == &m_descriptionEdit) {
        colors.mode = gfx::BackgroundMode::Opaque;
        colors.background = gfx::Rgb(0, 0, 0);
        colors.brush = m_editBrush;
        return;
    }
    colors.mode = gfx::BackgroundMode::Transparent;
    colors.brush = gfx::Brush::Hollow();
}

void CUploadDlg::ReadEdits()
{
    m_saveName = m_nameEdit.GetText();
    m_description = m_descriptionEdit.GetText();
}

bool CUploadDlg::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    if (code == ui::BN_CLICKED && (id == kSubmitId || id == kCancelId)) {
        ReadEdits();
        EndDialog(id == kSubmitId ? 1 : 2);
        return true;
    }
    return ui::Dialog::OnCommand(id, code, from);
}

// Closing the form (Alt+F4) submits what the edits hold.
void CUploadDlg::OnClose()
{
    ReadEdits();
    EndDialog(1);
}

int RunUploadDlg(WindowHandle owner, UploadFormFields& fields)
{
    int result = 2;
    InvokeOnUiThread([&] {
        CUploadDlg dlg;
        dlg.m_saveName = fields.saveName;
        dlg.m_description = fields.description;
        dlg.m_sizeText = fields.sizeText;
        dlg.m_dateText = fields.dateText;
        dlg.m_titleId = fields.titleId;
        result = dlg.DoModal(ui::Window::FromHandle(owner));
        fields.saveName = dlg.m_saveName;
        fields.description = dlg.m_description;
    });
    return result;
}

} // namespace tolvar
