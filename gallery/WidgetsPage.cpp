// The gallery's first page: the skinned widgets where the main window puts
// them (hover buttons, logo, activity bars), buttons that open the message
// box in each of its types, a scroll bar over a range and the upload form's
// hover buttons.
#include "gallery/GalleryPage.h"
#include "gallery/GalleryWindow.h"

#include "platform/base/MessageBox.h"
#include "platform/ui/WindowSystem.h"
#include "resources/Resources.h"
#include "widgets/ActivityBar.h"
#include "widgets/HoverButton.h"
#include "widgets/Label.h"
#include "widgets/SkinScrollBar.h"

#include <cstdio>
#include <string>

namespace tolvar::gallery {

namespace {

enum : unsigned
{
    kWebId = 1009,
    kExitId = 1010,
    kSleepId = 1011,
    kCodeListId = 1017,
    kLeftBarId = 1018,
    kRightBarId = 1019,
    kLogoId = 1020,
    kCancelId = 1002,
    kSubmitId = 1021,
    kScrollId = 1007,
    kOkBoxId = 2000,
    kOkCancelBoxId = 2001,
    kYesNoBoxId = 2004,
    kLabelIds = 3000,
};

const char* AnswerName(int answer)
{
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "closed";
    }
}

const char* ScrollCodeName(unsigned code)
{
    static const char* const names[] = {"line up",   "line down",      "page up",
                                        "page down", "thumb position", "thumb track"};
    return code < 6 ? names[code] : "?";
}

// The logo panel: the lit or the dim logo.
class LogoPanel : public ui::Window
{
public:
    LogoPanel() : m_lit(LoadBitmapResource(206)), m_dim(LoadBitmapResource(205)) {}
    void SetLit(bool lit)
    {
        m_isLit = lit;
        RedrawWindow();
    }
    bool IsLit() const { return m_isLit; }
    gfx::Size PictureSize() const { return m_lit.GetSize(); }

protected:
    void OnPaint(gfx::Painter& painter) override
    {
        painter.DrawBitmap({0, 0}, m_isLit ? m_lit : m_dim);
    }

private:
    gfx::Bitmap m_lit;
    gfx::Bitmap m_dim;
    bool m_isLit = true;
};

class WidgetsPage : public GalleryPage
{
public:
    WidgetsPage()
        : m_web("WEBU", "WEBH", "WEBD", nullptr), m_exit("EXITU", "EXITH", "EXITD", nullptr),
          m_sleep("SLEEPU", "SLEEPH", "SLEEPD", nullptr),
          m_codeList("BTNCODELISTU", "BTNCODELISTH", "BTNCODELISTD", nullptr),
          m_okBox("GALLERY_OKBOXU", "GALLERY_OKBOXH", "GALLERY_OKBOXD", nullptr),
          m_okCancelBox("GALLERY_OKCANCELBOXU", "GALLERY_OKCANCELBOXH", "GALLERY_OKCANCELBOXD",
                        nullptr),
          m_yesNoBox("GALLERY_YESNOBOXU", "GALLERY_YESNOBOXH", "GALLERY_YESNOBOXD", nullptr),
          m_submit("UPLOAD_SUBMIT_UP", "UPLOAD_SUBMIT_OVER", "UPLOAD_SUBMIT_DOWN", nullptr),
          m_cancel("UPLOAD_CANCEL_UP", "UPLOAD_CANCEL_OVER", "UPLOAD_CANCEL_DOWN", nullptr),
          m_leftBar(0, 136, 198, 197), m_rightBar(510, 136, 196, 199),
          m_scrollBar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132)
    {
    }

    void OnPageShown() override
    {
        m_leftBar.Start();
        m_rightBar.Start();
    }
    void OnPageHidden() override
    {
        m_leftBar.Stop();
        m_rightBar.Stop();
    }

protected:
    bool OnCreate() override
    {
        m_web.Create(*this, kWebId, {42, 17});
        m_codeList.Create(*this, kCodeListId, {42, 51});
        m_exit.Create(*this, kExitId, {526, 17});
        m_sleep.Create(*this, kSleepId, {526, 51});
        m_logo.Create(this, gfx::Rect::FromSize({252, 0}, m_logo.PictureSize()), kLogoId);
        m_leftBar.Create(*this, kLeftBarId);
        m_rightBar.Create(*this, kRightBarId);
        m_leftBar.Initialise();
        m_rightBar.Initialise();

        // Left panel: the message box in each of its types.
        AddLabel("Message boxes", {20, 180, 344, 198});
        m_okBox.Create(*this, kOkBoxId, {113, 212});
        m_okCancelBox.Create(*this, kOkCancelBoxId, {113, 256});
        m_yesNoBox.Create(*this, kYesNoBoxId, {113, 300});
        m_answer = AddLabel("Open a box and answer it.", {40, 350, 324, 368});
        AddLabel("Escape or closing the window answers a Yes / No box with No.",
                 {40, 396, 324, 430});

        // Right panel: a scroll bar over a range, the upload form's buttons.
        AddLabel("Scroll bar and hover buttons", {356, 180, 650, 198});
        m_scrollBar.Create(kScrollId, this, this, 659, 169);
        ScrollInfo info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = 99;
        info.nPage = 10;
        info.nPos = 30;
        m_scrollBar.SetScrollInfo(&info, true);
        AddLabel("Range 0 to 99, a page of 10", {366, 214, 650, 232});
        m_scrollState = AddLabel("", {366, 236, 650, 254});
        ShowScrollState(kNoCode);
        m_cancel.Create(*this, kCancelId, {408, 300});
        m_submit.Create(*this, kSubmitId, {509, 300});
        m_buttonState =
            AddLabel("Rest the pointer on a button, press it, leave it.", {366, 350, 650, 368});
        AddLabel("Web site: the logo lit or dim. Code list: the bars. Sleep: the next page.",
                 {376, 396, 640, 430});
        return true;
    }

    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override
    {
        switch (id) {
        case kWebId:
            m_logo.SetLit(!m_logo.IsLit());
            return true;
        case kCodeListId:
            if (m_leftBar.IsRunning()) {
                OnPageHidden();
            } else {
                OnPageShown();
            }
            return true;
        case kExitId:
            ui::WindowSystem::Get().Quit();
            return true;
        case kSleepId:
            if (auto* gallery = dynamic_cast<GalleryWindow*>(Parent())) {
                gallery->NextPage(1);
            }
            return true;
        case kOkBoxId:
            ShowAnswer(AfxMessageBox("The Code List has completed downloading.", MB_OK));
            return true;
        case kOkCancelBoxId:
            ShowAnswer(AfxMessageBox("Depending upon your internet connection, downloading the "
                                     "Code List may take a few minutes...",
                                     MB_OKCANCEL));
            return true;
        case kYesNoBoxId:
            ShowAnswer(AfxMessageBox(
                "This action will delete the file. \r\nDo you want to continue?", MB_YESNO));
            return true;
        case kSubmitId:
        case kCancelId:
            m_buttonState->SetWindowText(id == kSubmitId ? "Submit was pressed."
                                                         : "Cancel was pressed.");
            return true;
        default:
            return GalleryPage::OnCommand(id, code, from);
        }
    }

    LResult OnMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        if (message == ui::WM_VSCROLL) {
            // The position travels in the high word, the code in the low word.
            ShowScrollState(ui::LoWord(wParam));
            return 0;
        }
        return GalleryPage::OnMessage(message, wParam, lParam);
    }

private:
    static constexpr unsigned kNoCode = 0xFFFF;

    CLabel* AddLabel(const std::string& text, const gfx::Rect& rect)
    {
        auto label = std::make_unique<CLabel>();
        label->Create(this, rect, kLabelIds + static_cast<unsigned>(m_labels.size()));
        label->SetFont(gfx::Font::Label());
        label->SetWindowText(text);
        m_labels.push_back(std::move(label));
        return m_labels.back().get();
    }

    void ShowAnswer(int answer)
    {
        char text[64];
        std::snprintf(text, sizeof text, "The box answered %d (%s).", answer, AnswerName(answer));
        m_answer->SetWindowText(text);
    }

    void ShowScrollState(unsigned code)
    {
        char text[96];
        if (code == kNoCode) {
            std::snprintf(text, sizeof text, "Position %d", m_scrollBar.GetScrollPos());
        } else {
            std::snprintf(text, sizeof text, "Position %d, %s", m_scrollBar.GetScrollPos(),
                          ScrollCodeName(code));
        }
        m_scrollState->SetWindowText(text);
    }

    CHoverButton m_web, m_exit, m_sleep, m_codeList;
    CHoverButton m_okBox, m_okCancelBox, m_yesNoBox;
    CHoverButton m_submit, m_cancel;
    LogoPanel m_logo;
    CActivityBar m_leftBar, m_rightBar;
    CSkinScrollBar m_scrollBar;
    std::vector<std::unique_ptr<CLabel>> m_labels;
    CLabel* m_answer = nullptr;
    CLabel* m_scrollState = nullptr;
    CLabel* m_buttonState = nullptr;
};

const GalleryPageRegistrar kRegistrar(
    {"widgets", 10, [] { return std::unique_ptr<GalleryPage>(std::make_unique<WidgetsPage>()); }});

} // namespace

} // namespace tolvar::gallery
