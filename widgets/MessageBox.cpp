#include "widgets/MessageBox.h"

#include "platform/base/MessageBox.h"
#include "resources/DialogResources.h"
#include "resources/Resources.h"
#include "widgets/AutoLoad.h"

#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <atomic>

namespace tolvar {

namespace {

constexpr int kBackgroundId = 185;
constexpr int kTemplateId = 180;
constexpr gfx::Color kTextColor = gfx::FromColorRef(0xEBEBEB);
// The text area, centred on the box as the buttons are.
constexpr gfx::Rect kTextRect = gfx::Rect::FromSize(29, 55, 256, 60);

std::atomic<WindowHandle> g_owner{kNoWindow};

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

void CMessageBox::SetOwner(WindowHandle owner)
{
    g_owner = owner;
}

WindowHandle CMessageBox::GetOwner()
{
    return g_owner;
}

int CMessageBox::Run(ui::Window* owner)
{
    m_result = 0;
    if (owner == nullptr) {
        owner = ui::Window::FromHandle(g_owner);
    }
    SetInitialPosition(CentredPosition(owner));
    DoModal(owner);
    return m_result;
}

// Over the owner while it is on screen, else over the screen; kept whole on
// the screen when the owner stands near an edge.
ui::Point CMessageBox::CentredPosition(ui::Window* owner) const
{
    const gfx::Size screenSize = ui::WindowSystem::Get().GetBackend().ScreenSize();
    const gfx::Rect screen = gfx::Rect::FromSize({0, 0}, screenSize);
    const gfx::Rect around = owner != nullptr && owner->IsWindow() && owner->IsWindowVisible()
                                 ? owner->GetWindowRect()
                                 : screen;
    const gfx::Size size = m_background.IsNull() ? gfx::Size{315, 157} : m_background.GetSize();
    const int x = around.left + (around.Width() - size.width) / 2;
    const int y = around.top + (around.Height() - size.height) / 2;
    return {std::clamp(x, 0, std::max(0, screenSize.width - size.width)),
            std::clamp(y, 0, std::max(0, screenSize.height - size.height))};
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
        const char* name; // what a screen reader says
    };
    const ButtonSlot buttons[] = {{m_okButton, kOkId, "BTNOK", "OK"},
                                  {m_cancelButton, kCancelId, "BTNCANCEL", "Cancel"},
                                  {m_yesButton, kYesId, "BTNYES", "Yes"},
                                  {m_noButton, kNoId, "BTNNO", "No"}};
    for (const ButtonSlot& b : buttons) {
        ui::WindowStyle style;
        style.tabStop = true;
        b.button.SetAccessibleName(b.name);
        AutoLoad(b.button, *this, b.id, b.caption, TemplatePosition(b.id), style);
        b.button.ShowWindow(ui::ShowCommand::Hide);
    }

    // The type is compared whole: flags mixed in (an icon, modality) give OK only.
    auto place = [](ui::BitmapButton& button, int x, int y) {
        button.SetWindowPos({x, y});
        button.ShowWindow(ui::ShowCommand::Show);
    };
    // The keyboard starts on the answer that changes nothing: No for a Yes/No
    // question, which guards deletions and formatting, so a stray Enter is safe.
    ui::Window* first = &m_okButton;
    switch (m_type) {
    case MB_OKCANCEL:
        place(m_okButton, 57, 123);
        place(m_cancelButton, 157, 123);
        break;
    case MB_YESNO:
        place(m_yesButton, 57, 123);
        place(m_noButton, 157, 123);
        first = &m_noButton;
        break;
    default:
        place(m_okButton, 107, 123);
        break;
    }

    m_textLabel.MoveWindow(kTextRect);
    m_textFont = gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Bold);
    m_textLabel.SetFont(m_textFont);
    m_textLabel.SetWindowText(m_text);

    if (!m_background.IsNull()) {
        SetWindowSize({m_backgroundWidth, m_backgroundHeight});
    }
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40), false);
    if (first->IsWindow()) {
        first->SetFocus();
        return false; // the focus is placed
    }
    return true;
}

ui::AccessibleInfo CMessageBox::Describe() const
{
    ui::AccessibleInfo info = ui::Dialog::Describe();
    info.role = ui::AccessibleRole::Alert; // its text is the label inside
    return info;
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

// Escape and closing end the box without one of its buttons. Yes/No
// questions guard deletions and formatting, and their callers test for No
// only, so such a close must be a No rather than 0.
void CMessageBox::CloseWithoutButton()
{
    m_result = m_type == MB_YESNO ? IDNO : 0;
    EndDialog(ui::IDC_CANCEL);
}

// Enter presses the focused button.
void CMessageBox::OnOK()
{
    ui::Window* focus = ui::Window::GetFocus();
    for (const ui::Window* button : {&m_okButton, &m_cancelButton, &m_yesButton, &m_noButton}) {
        if (focus == button && button->IsVisible()) {
            OnCommand(button->GetDlgCtrlID(), ui::BN_CLICKED, button->Handle());
            return;
        }
    }
    CloseWithoutButton();
}

void CMessageBox::OnCancel()
{
    CloseWithoutButton();
}

bool CMessageBox::PreTranslateMessage(ui::Message& message)
{
    if (message.message == ui::WM_KEYDOWN && m_type == MB_YESNO && !ui::IsKeyDown(ui::VK_CONTROL) &&
        !ui::IsKeyDown(ui::VK_MENU)) {
        if (message.wParam == 'Y' || message.wParam == 'N') {
            OnCommand(message.wParam == 'Y' ? kYesId : kNoId, ui::BN_CLICKED, kNoWindow);
            return true;
        }
    }
    return ui::Dialog::PreTranslateMessage(message);
}

void CMessageBox::Button::DrawItem(gfx::Painter& painter, Face face)
{
    ui::BitmapButton::DrawItem(painter, face);
    if (HasFocus()) {
        painter.DrawFocusRect(GetClientRect().Inflate(-5, -5));
    }
}

} // namespace tolvar
