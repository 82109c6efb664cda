#pragma once

#include "platform/base/WorkerJob.h"

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace tolvar {
namespace net {
class InternetSession;
}

class MessageTarget;
class OnlineFolder;
class OnlineSave;
class OnlineTreeView;

// Reads the documents of the online database and hands their records to the
// Online Tree. A Fetch from outside starts the list job on a worker thread;
// right after a list, the job fetches the detail documents of its saves on
// the same thread, several side by side (see OnlineListFetcher.cpp).
class OnlineListFetcher
{
public:
    // Detail documents in flight at once. Each connection waits a round trip
    // per document, so this bounds the gain over one by one; 16 hides most of
    // an internet round trip and stays within what the server serves at once.
    static constexpr int kDetailConnections = 16;

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

    // Where the reader's trace goes; nowhere unless TOLVAR_XML_TRACE=1 asks
    // for standard output, or this changes it. Set it while no job runs.
    void SetTraceStream(std::ostream* trace) { m_trace = trace; }
    // How many detail documents are fetched at once; 1 fetches them one after
    // another, each by a nested Fetch. Set it while no job runs.
    void SetDetailConnections(int connections) { m_detailConnections = connections; }

private:
    struct Request
    {
        std::string address; // with its random number
        OnlineFolder* parent;
        OnlineSave* save;
    };

    int RunListJob(const Request& request, bool threaded);
    void FetchDetailsSideBySide(net::InternetSession& session,
                                const std::vector<OnlineSave*>& queue);
    void SendToMainWindow(unsigned message, long long wParam, long long lParam);

    OnlineTreeView* m_owner;
    MessageTarget* m_mainWindow;
    std::ostream* m_trace;
    int m_detailConnections = kDetailConnections;
    std::atomic<bool> m_running{false};
    WorkerJob m_job; // last: destroyed first, while everything it uses lives
};

} // namespace tolvar
