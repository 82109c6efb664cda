#pragma once

#include "platform/ui/Window.h"

namespace tolvar::ui {

// A top-level window run modally: DoModal creates it, calls OnInitDialog,
// disables the other top-level windows and runs a nested loop until
// EndDialog; then it destroys the window, enables the others again and
// returns the result. Sent messages from workers are served throughout.
// Enter runs OnOK and Escape OnCancel unless the focused control takes the
// key; Tab moves between tab stops (selecting an edit's text); WM_CLOSE (Alt+F4) runs OnCancel.
class Dialog : public Window
{
public:
    // The dialog's size; it opens centred on its owner, or on the screen.
    explicit Dialog(Size size = {300, 200});

    int DoModal(Window* owner = nullptr);
    void EndDialog(int result);
    bool IsModal() const { return m_modal; }
    void SetInitialSize(Size size) { m_initialSize = size; }
    // Where the dialog opens (screen); without one it is centred.
    void SetInitialPosition(Point screen) { m_initialPosition = screen; }

    bool PreTranslateMessage(Message& message) override;
    AccessibleInfo Describe() const override;

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDC_OK); }
    virtual void OnCancel() { EndDialog(IDC_CANCEL); }
    void OnClose() override { OnCancel(); }

private:
    void MoveFocusToNextTabStop(bool backwards);

    Size m_initialSize;
    std::optional<Point> m_initialPosition;
    bool m_modal = false;
    bool m_ended = false;
    int m_result = 0;
};

} // namespace tolvar::ui
