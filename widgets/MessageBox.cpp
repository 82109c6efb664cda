#include "widgets/MessageBox.h"

#include "platform/base/MessageBox.h"
#include "resources/DialogResources.h"
#include "resources/Resources.h"
#include "widgets/AutoLoad.h"

namespace tolvar {

namespace {

constexpr int kBackgroundId = 185;
constexpr int kTemplateId = 180;
constexpr gfx::Color kTextColor = gfx::FromColorRef(0xEBEBEB);

gfx::Point TemplatePosition(unsigned controlId)
{
    const DialogTemplate* t = FindDialogTemplate(kTemplateId);
    const ControlTemplate* c = t ? t->Control(static_cast<int>(controlId)) : nullptr;
    return c ? DialogUnitsToPixels(c->units).TopLeft() : gfx::Point{};
}

} // namespace

CMessageBox::CMessageBox(std::string text, unsigned type)
    : m_text(std::move(text)), m_type(type), m_background(LoadBitmapResource(kBackgroundId))
{
    // The box opens at its picture's size so that it is centred as it will be shown.
    if (!m_background.IsNull()) {
        SetInitialSize(m_background.GetSize());
    }
}

CMessageBox::~CMessageBox() = default;

int CMessageBox::Run(ui::Window* owner)
{
    m_result = 0;
    DoModal(owner);
    return m_result;
}

bool CMessageBox::OnInitDialog()
{
    const DialogTemplate* t = FindDialogTemplate(kTemplateId);
    const ControlTemplate* label = t ? t->Control(static_cast<int>(kTextId)) : nullptr;
    m_textLabel.Create(this, label ? DialogUnitsToPixels(label->units) : gfx::Rect{}, kTextId);

    m_backgroundWidth = m_background.Width();
    m_backgroundHeight = m_background.Height();

    struct ButtonSlot
    {
        ui::BitmapButton& button;
        unsigned id;
        const char* caption;
    };
    const ButtonSlot buttons[] = {{m_okButton, kOkId, "BTNOK"},
                                  {m_cancelButton, kCancelId, "BTNCANCEL"},
                                  {m_yesButton, kYesId, "BTNYES"},
                                  {m_noButton, kNoId, "BTNNO"}};
    for (const ButtonSlot& b : buttons) {
        AutoLoad(b.button, *this, b.id, b.caption, TemplatePosition(b.id));
        b.button.ShowWindow(ui::ShowCommand::Hide);
    }

    // The type is compared whole: flags mixed in (an icon, modality) give OK only.
    auto place = [](ui::BitmapButton& button, int x, int y) {
        button.SetWindowPos({x, y});
        button.ShowWindow(ui::ShowCommand::Show);
    };
    switch (m_type) {
    case MB_OKCANCEL:
        place(m_okButton, 57, 123);
        place(m_cancelButton, 157, 123);
        break;
    case MB_YESNO:
        place(m_yesButton, 57, 123);
        place(m_noButton, 157, 123);
        break;
    default:
        place(m_okButton, 107, 123);
        break;
    }

    m_textLabel.MoveWindow(gfx::Rect::FromSize(21, 55, 256, 60));
    m_textFont = gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Bold);
    m_textLabel.SetFont(m_textFont);
    m_textLabel.SetWindowText(m_text);

    if (!m_background.IsNull()) {
        SetWindowSize({m_backgroundWidth, m_backgroundHeight});
    }
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40), false);
    return true;
}

void CMessageBox::OnPaint(gfx::Painter& painter)
{
    painter.DrawBitmap({0, 0}, m_background);
}

void CMessageBox::OnCtlColor(ui::Window&, ui::CtlColorKind, ui::ControlColors& colors)
{
    colors.mode = gfx::BackgroundMode::Transparent;
    colors.text = kTextColor;
    colors.brush = gfx::Brush::Hollow();
}

bool CMessageBox::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    switch (id) {
    case kOkId:
        m_result = IDOK;
        break;
    case kCancelId:
        m_result = IDCANCEL;
        break;
    case kYesId:
        m_result = IDYES;
        break;
    case kNoId:
        m_result = IDNO;
        break;
    default:
        return ui::Dialog::OnCommand(id, code, from);
    }
    EndDialog(ui::IDC_OK);
    return true;
}

// Enter and Escape end the box without one of its buttons. Yes/No questions
// guard deletions and formatting, and their callers test for No only, so
// such a close must be a No rather than 0.
void CMessageBox::CloseWithoutButton()
{
    m_result = m_type == MB_YESNO ? IDNO : 0;
    EndDialog(ui::IDC_CANCEL);
}

void CMessageBox::OnOK() { CloseWithoutButton(); }
void CMessageBox::OnCancel() { CloseWithoutButton(); }

} // namespace tolvar
