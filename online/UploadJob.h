#pragma once

#include "online/SaveUploader.h"
#include "platform/base/WorkerJob.h"

#include <atomic>
#include <string>

namespace tolvar {

class MessageTarget;

// The upload job: a save of the Local Tree dropped on the Online Tree is
// offered to the online community from a worker thread. The main window holds
// it, starts it when the Online Tree takes a drop (OnlineTreeHost::UploadSave) and
// supplies the form. A cancelled job shows and sends nothing more; destroying
// it cancels a running upload and waits.
class UploadJob
{
public:
    UploadJob(MessageTarget* mainWindow, UploadFormRunner form);
    ~UploadJob();
    UploadJob(const UploadJob&) = delete;
    UploadJob& operator=(const UploadJob&) = delete;

    // Uploads the save at filePath, sent under fileName; the form starts with
    // saveName (read from the file when empty). The job keeps copies of the
    // texts, so the record they came from may go at once. False, and nothing
    // started, while an earlier upload still runs.
    bool Start(std::string filePath, std::string fileName, std::string saveName = {});
    void Cancel() { m_job.Cancel(); }
    // Blocks until the job has ended, serving its form meanwhile on the UI thread.
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

    // The job's body on the calling thread: the busy signalling around the
    // upload, the refresh of "Online Community" after success, the message
    // after a failure. Nothing goes out once cancelled turns true.
    static void Run(const std::string& filePath, const std::string& fileName,
                    const std::string& saveName, MessageTarget* mainWindow,
                    const UploadFormRunner& form, const std::atomic<bool>& cancelled);

private:
    MessageTarget* m_mainWindow;
    UploadFormRunner m_form;
    WorkerJob m_job; // last: destroyed first, while what it uses lives
};

// The save name stored in a save file; empty when it cannot be read.
std::string ReadStoredSaveName(const std::string& filePath);

} // namespace tolvar
