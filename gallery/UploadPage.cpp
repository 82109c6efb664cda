// The upload page: opens the upload form over the main window's skin with the
// texts of a sample save, and shows what the form hands back.
#include "app/upload/UploadDlg.h"
#include "gallery/GalleryPage.h"
#include "online/SaveUploader.h"
#include "widgets/HoverButton.h"
#include "widgets/Label.h"

namespace tolvar::gallery {
namespace {

constexpr unsigned kOpenFormId = 1;

class UploadPage : public GalleryPage
{
protected:
    bool OnCreate() override
    {
        m_caption.Create(this, {20, 180, 680, 198});
        m_caption.SetTextFormat(gfx::kTextLeft | gfx::kTextWordBreak);
        m_caption.SetWindowText("Upload form: Submit sends the save, Cancel keeps it; Alt+F4 "
                                "submits too, Enter and Escape do nothing.");
        m_open.Create(*this, kOpenFormId, {300, 214});
        m_result.Create(this, {20, 260, 680, 330});
        m_result.SetTextFormat(gfx::kTextLeft | gfx::kTextWordBreak | gfx::kTextNoPrefix);
        return true;
    }

    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override
    {
        if (id != kOpenFormId) {
            return GalleryPage::OnCommand(id, code, from);
        }
        UploadFormFields fields{"Star Voyager v1.2", "Star Voyager v1.2", "12.50", "05/12/2004"};
        const int result = RunUploadDlg(Handle(), fields);
        m_result.SetWindowText(std::string(result == 1 ? "Submitted" : "Cancelled") + ": \"" +
                               fields.saveName + "\", \"" + fields.description + "\"");
        return true;
    }

private:
    CLabel m_caption;
    CHoverButton m_open{"UPLOAD_SUBMIT_UP", "UPLOAD_SUBMIT_OVER", "UPLOAD_SUBMIT_DOWN", nullptr};
    CLabel m_result;
};

const GalleryPageRegistrar kRegistrar(
    {"upload", 40, [] { return std::unique_ptr<GalleryPage>(std::make_unique<UploadPage>()); }});

} // namespace
} // namespace tolvar::gallery
