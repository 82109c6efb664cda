#pragma once

#include "platform/base/WorkerJob.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tolvar {

class MessageTarget;
class OnlineFolder;
class OnlineSave;
class OnlineTreeView;

// The list job: reads one document of the online database (a folder's list,
// then the detail documents of its saves) on a worker thread and hands the
// records to the Online Tree (see OnlineListJob.cpp).
class OnlineListJob
{
public:
    // Detail documents in flight at once. Each connection waits a round trip
    // per document, so this bounds the gain over one by one; 16 hides most of
    // an internet round trip and stays within what the server serves at once.
    static constexpr int kDetailConnections = 16;
    // A detail document holds one small record: more than this, after
    // decompression, is no detail document.
    static constexpr std::uint64_t kMaxDetailBytes = 64 * 1024;

    OnlineListJob(OnlineTreeView* owner, MessageTarget* mainWindow);
    // Cancels a running job and waits for it, serving what it asks of the
    // UI thread meanwhile.
    ~OnlineListJob();
    OnlineListJob(const OnlineListJob&) = delete;
    OnlineListJob& operator=(const OnlineListJob&) = delete;

    // Starts reading the list at address into parent; nothing while a job
    // runs (the disabled tree normally prevents it).
    void Fetch(const std::string& address, OnlineFolder* parent);
    // For the "Online Database" item: fetches SAVES_URL into root.
    bool RefreshRoot(OnlineFolder* root);
    // The window closes: the job shows and hands over nothing more.
    void Cancel() { m_job.Cancel(); }

    // True from Fetch until its job is done with the tree; it turns false
    // before the tree takes input again.
    bool IsRunning() const { return m_running.load(); }
    void WaitForJob() { m_job.Wait(); }

    // Where the reader's trace goes; nowhere unless TOLVAR_XML_TRACE=1 asks
    // for standard output, or this changes it. Set it while no job runs.
    void SetTraceStream(std::ostream* trace) { m_trace = trace; }

private:
    void Run(const std::string& address, OnlineFolder* parent);
    void FetchDetailsSideBySide(const std::vector<OnlineSave*>& queue);
    void SendToMainWindow(unsigned message, long long wParam, long long lParam);

    OnlineTreeView* m_owner;
    MessageTarget* m_mainWindow;
    std::ostream* m_trace;
    std::atomic<bool> m_running{false};
    WorkerJob m_job; // last: destroyed first, while everything it uses lives
};

} // namespace tolvar
