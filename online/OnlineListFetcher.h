#pragma once

#include "platform/base/WorkerJob.h"

#include <atomic>
#include <iosfwd>
#include <string>

namespace tolvar {

class MessageTarget;
class OnlineFolder;
class OnlineSave;
class OnlineTreeView;

// Reads the documents of the online database and hands their records to the
// Online Tree. A Fetch from outside starts the list job on a worker thread;
// the job fetches the detail document of each save of a list on the same
// thread, nested, right after the list (see OnlineListFetcher.cpp).
class OnlineListFetcher
{
public:
    OnlineListFetcher(OnlineTreeView* owner, MessageTarget* mainWindow);
    // Cancels a running job and waits for it, serving what it asks of the
    // UI thread meanwhile.
    ~OnlineListFetcher();
    OnlineListFetcher(const OnlineListFetcher&) = delete;
    OnlineListFetcher& operator=(const OnlineListFetcher&) = delete;

    // Reads one document: a list into parent, or the detail of save. Exactly
    // one of the two is set.
    void Fetch(const std::string& address, OnlineFolder* parent, OnlineSave* save);
    // For the "Online Database" item: fetches SAVES_URL into root.
    bool RefreshRoot(OnlineFolder* root);

    // True from a threaded Fetch until its job is done with the tree; it
    // turns false before the tree takes input again.
    bool IsRunning() const { return m_running.load(); }
    void WaitForJob() { m_job.Wait(); }

    // Where the reader's trace goes; standard output unless changed, null
    // for nowhere. Set it while no job runs.
    void SetTraceStream(std::ostream* trace) { m_trace = trace; }

private:
    struct Request
    {
        std::string address; // with its random number
        OnlineFolder* parent;
        OnlineSave* save;
    };

    int RunListJob(const Request& request, bool threaded);
    void SendToMainWindow(unsigned message, long long wParam, long long lParam);

    OnlineTreeView* m_owner;
    MessageTarget* m_mainWindow;
    std::ostream* m_trace;
    std::atomic<bool> m_running{false};
    WorkerJob m_job; // last: destroyed first, while everything it uses lives
};

} // namespace tolvar
