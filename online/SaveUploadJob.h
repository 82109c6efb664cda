#pragma once

#include "online/SaveUploader.h"
#include "platform/base/WorkerJob.h"

#include <atomic>
#include <string>

namespace tolvar {

class MessageTarget;

// The upload job: a save of the Local Tree dropped on the Online Tree is
// offered to the online community from a worker thread. The main window holds
// it, starts it when the Local Tree asks (LocalTreeHost::StartUpload) and
// supplies the form. Destroying it cancels a running upload and waits.
class SaveUploadJob
{
public:
    SaveUploadJob(MessageTarget* mainWindow, UploadFormRunner form);
    ~SaveUploadJob();
    SaveUploadJob(const SaveUploadJob&) = delete;
    SaveUploadJob& operator=(const SaveUploadJob&) = delete;

    // Uploads the save at filePath, sent under fileName; the form starts with
    // saveName (read from the file when empty). The job keeps copies of the
    // texts, so the record they came from may go at once. False, and nothing
    // started, while an earlier upload still runs.
    bool Start(std::string filePath, std::string fileName, std::string saveName = {});
    bool IsRunning() const { return m_job.IsRunning(); }
    void Wait() { m_job.Wait(); }

private:
    MessageTarget* m_mainWindow;
    UploadFormRunner m_form;
    WorkerJob m_job; // last: destroyed first, while what it uses lives
};

// The job's body on the calling thread: the busy messages around the upload,
// the refresh of "Online Community" after success, the message after a
// failure. Messages stop going out once cancel turns true.
void RunSaveUpload(const std::string& filePath, const std::string& fileName,
                   const std::string& saveName, MessageTarget* mainWindow,
                   const UploadFormRunner& form, const std::atomic<bool>* cancel = nullptr);

// The save name stored in a save file; empty when it cannot be read.
std::string ReadStoredSaveName(const std::string& filePath);

} // namespace tolvar
