#include "platform/ui/Dialog.h"
#include "platform/ui/BitmapButton.h"

#include "platform/ui/Edit.h"
#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace tolvar::ui {

Dialog::Dialog(Size size) : m_initialSize(size) {}

int Dialog::DoModal(Window* owner)
{
    if (IsWindow()) {
        return -1;
    }
    WindowSystem& system = WindowSystem::Get();
    // Windows belong to the UI thread; a box wanted by a job is handed over
    // before it gets here (MessageBoxRouting).
    if (!system.IsUiThread()) {
        std::fputs("Dialog::DoModal called off the UI thread\n", stderr);
        assert(!"Dialog::DoModal called off the UI thread");
        return -1;
    }
    Point at;
    if (m_initialPosition) {
        at = *m_initialPosition;
    } else {
        Rect around = owner != nullptr && owner->IsWindow()
                          ? owner->GetWindowRect()
                          : Rect::FromSize({0, 0}, system.GetBackend().ScreenSize());
        at = {around.left + (around.Width() - m_initialSize.width) / 2,
              around.top + (around.Height() - m_initialSize.height) / 2};
    }
    m_ended = false;
    m_result = 0;
    WindowStyle style;
    style.visible = false; // shown once initialised, like a dialog template
    if (!Create(nullptr, Rect::FromSize(at, m_initialSize), 0, style)) {
        return -1;
    }
    WindowHandle self = Handle();
    Window* focusBefore = Window::GetFocus();
    WindowHandle focusHandle = focusBefore != nullptr ? focusBefore->Handle() : kNoWindow;

    // The other windows wait while the dialog runs.
    std::vector<WindowHandle> disabled;
    for (Window* top : system.TopLevelWindows()) {
        if (top != this && top->GetTopLevelKind() == TopLevelKind::Normal &&
            top->IsWindowEnabled()) {
            disabled.push_back(top->Handle());
        }
    }
    for (WindowHandle h : disabled) {
        if (Window* w = Window::FromHandle(h)) {
            w->EnableWindow(false);
        }
    }

    m_modal = true;
    if (OnInitDialog() && !m_ended && IsWindow()) {
        for (Window* child : Children()) {
            if (child->IsTabStop() && child->IsVisible() && child->IsWindowEnabled()) {
                child->SetFocus();
                break;
            }
        }
    }
    if (!m_ended && IsWindow()) {
        ShowWindow(ShowCommand::Show);
        BringWindowToTop();
        if (Window::GetFocus() == nullptr || Window::GetFocus()->TopLevel() != this) {
            SetFocus();
        }
        system.RunModalLoop([&] { return !m_ended && Window::FromHandle(self) == this; });
    }
    if (!m_ended && Window::FromHandle(self) == this) {
        // The loop ended because the program is ending: the Cancel path
        // gives the safe answer (a question answers No).
        OnCancel();
        if (!m_ended) {
            m_result = IDC_CANCEL;
        }
    }
    m_modal = false;

    for (WindowHandle h : disabled) {
        if (Window* w = Window::FromHandle(h)) {
            w->EnableWindow(true);
        }
    }
    if (Window::FromHandle(self) == this) {
        Destroy();
    }
    if (Window* w = Window::FromHandle(focusHandle); w != nullptr && w->IsEnabledWithAncestors()) {
        w->SetFocus();
    }
    return m_result;
}

void Dialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    if (WindowSystem* system = WindowSystem::Instance()) {
        system->GetBackend().Wake();
    }
}

bool Dialog::PreTranslateMessage(Message& message)
{
    if (message.message != WM_KEYDOWN) {
        return false;
    }
    auto key = static_cast<unsigned>(message.wParam);
    Window* focus = Window::GetFocus();
    bool focusInside = focus != nullptr && focus->TopLevel() == this;
    if (focusInside && focus->WantsDialogKey(key)) {
        return false;
    }
    switch (key) {
    case VK_ESCAPE:
        OnCancel();
        return true;
    case VK_RETURN:
        OnOK();
        return true;
    case VK_TAB:
        MoveFocusToNextTabStop(IsKeyDown(VK_SHIFT));
        return true;
    default:
        return false;
    }
}

void Dialog::MoveFocusToNextTabStop(bool backwards)
{
    std::vector<Window*> stops;
    for (Window* child : Children()) {
        if (child->IsTabStop() && child->IsVisible() && child->IsWindowEnabled()) {
            stops.push_back(child);
        }
    }
    if (stops.empty()) {
        return;
    }
    auto it = std::find(stops.begin(), stops.end(), Window::GetFocus());
    std::size_t index = 0;
    if (it != stops.end()) {
        auto pos = static_cast<std::size_t>(it - stops.begin());
        index = backwards ? (pos + stops.size() - 1) % stops.size() : (pos + 1) % stops.size();
    }
    stops[index]->SetFocus();
    // Tabbing into an edit selects its text, so typing replaces it.
    if (auto* edit = dynamic_cast<Edit*>(stops[index])) {
        edit->SetSel(0, -1);
    }
    if (auto* button = dynamic_cast<BitmapButton*>(stops[index])) {
        button->ShowKeyboardFocus();
    }
}

} // namespace tolvar::ui
