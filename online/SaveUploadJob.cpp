#include "online/SaveUploadJob.h"

#include "messages/AppMessages.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/MessageTarget.h"
#include "platform/fs/File.h"
#include "saveformat/SaveFormat.h"

namespace tolvar {

SaveUploadJob::SaveUploadJob(MessageTarget* mainWindow, UploadFormRunner form)
    : m_mainWindow(mainWindow), m_form(std::move(form))
{
}

SaveUploadJob::~SaveUploadJob() = default;

bool SaveUploadJob::Start(std::string filePath, std::string fileName, std::string saveName)
{
    if (m_job.IsRunning()) {
        return false;
    }
    m_job.Start([this, filePath = std::move(filePath), fileName = std::move(fileName),
                 saveName = std::move(saveName)](WorkerJob& job) {
        const std::string name = saveName.empty() ? ReadStoredSaveName(filePath) : saveName;
        RunSaveUpload(filePath, fileName, name, m_mainWindow, m_form, &job.CancelFlag());
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

void RunSaveUpload(const std::string& filePath, const std::string& fileName,
                   const std::string& saveName, MessageTarget* mainWindow,
                   const UploadFormRunner& form, const std::atomic<bool>* cancel)
{
    auto send = [&](unsigned message, WParam wParam, LParam lParam) {
        if (mainWindow != nullptr && (cancel == nullptr || !cancel->load())) {
            mainWindow->SendAppMessage(message, wParam, lParam);
        }
    };
    // The form is not shown for a job that was cancelled before it asked.
    UploadFormRunner guardedForm = [&](UploadFormFields& fields) {
        return cancel != nullptr && cancel->load() ? IDCANCEL : form(fields);
    };

    send(WM_APP_ONLINE_TREE_BUSY, 1, 0);
    // Messages the uploader sends go through the same guard.
    struct Guarded final : MessageTarget
    {
        std::function<void(unsigned, WParam, LParam)> send;
        LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override
        {
            send(message, wParam, lParam);
            return 0;
        }
    } owner;
    owner.send = send;
    {
        SaveUploader uploader(&owner, guardedForm);
        uploader.SetCancelFlag(cancel);
        const std::string uploadUrl = GetUploadUrl();
        send(WM_APP_BUSY_START, 0, 1);
        if (uploader.UploadSave(filePath, fileName, uploadUrl, saveName, saveName)) {
            send(WM_APP_REFRESH_ONLINE, 0, 0);
        } else if (cancel == nullptr || !cancel->load()) {
            AfxMessageBox("The save transfer did not complete.", MB_OK);
        }
        send(WM_APP_BUSY_STOP, 0, 1);
    }
    send(WM_APP_ONLINE_TREE_BUSY, 0, 0);
}

} // namespace tolvar
