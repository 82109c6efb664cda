#include "online/UploadJob.h"

#include "messages/AppMessages.h"
#include "messages/JobActivity.h"
#include "online/JobTarget.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/fs/File.h"
#include "saveformat/SaveFormat.h"

namespace tolvar {

UploadJob::UploadJob(MessageTarget* mainWindow, UploadFormRunner form)
    : m_mainWindow(mainWindow), m_form(std::move(form))
{
}

UploadJob::~UploadJob() = default;

bool UploadJob::Start(std::string filePath, std::string fileName, std::string saveName)
{
    if (m_job.IsRunning()) {
        return false;
    }
    m_job.Start([this, filePath = std::move(filePath), fileName = std::move(fileName),
                 saveName = std::move(saveName)](WorkerJob& job) {
        const std::string name = saveName.empty() ? ReadStoredSaveName(filePath) : saveName;
        Run(filePath, fileName, name, m_mainWindow, m_form, job.CancelFlag());
    });
    return true;
}

std::string ReadStoredSaveName(const std::string& filePath)
{
    fs::File file;
    std::uint8_t header[kSaveHeaderLength] = {};
    if (!file.Open(filePath.c_str(), fs::OpenMode::Read)) {
        return {};
    }
    const std::size_t length = file.Read(header, sizeof header);
    SaveHeaderFields fields;
    ReadSaveHeaderFields(header, length, fields);
    return fields.saveName;
}

void UploadJob::Run(const std::string& filePath, const std::string& fileName,
                    const std::string& saveName, MessageTarget* mainWindow,
                    const UploadFormRunner& form, const std::atomic<bool>& cancelled)
{
    JobTarget target(mainWindow, cancelled);
    JobActivity activity(target, ActivityBar::Online, {WM_APP_ONLINE_TREE_BUSY});
    // The bar stands still while the form is open. The form is not shown for
    // a job that was cancelled before it asked.
    UploadFormRunner pausingForm = [&](UploadFormFields& fields) -> int {
        if (cancelled) {
            return IDCANCEL;
        }
        activity.PauseBar();
        const int result = form(fields);
        if (result != IDCANCEL) {
            activity.ResumeBar();
        }
        return result;
    };
    SaveUploader uploader(pausingForm);
    uploader.SetCancelFlag(&cancelled);
    if (uploader.UploadSave(filePath, fileName, GetUploadUrl(), saveName, saveName)) {
        target.SendAppMessage(WM_APP_REFRESH_ONLINE, 0, 0);
    } else if (!cancelled) {
        AfxMessageBox("The save transfer did not complete.", MB_OK);
    }
}

} // namespace tolvar
