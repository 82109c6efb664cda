#pragma once

#include "online/OnlineListBuilder.h"
#include "online/XmlReader.h"

#include <atomic>
#include <iosfwd>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tolvar {

class MessageTarget;
class OnlineFolder;
class OnlineRecord;
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
    // Cancels a running job and waits for it.
    ~OnlineListFetcher();
    OnlineListFetcher(const OnlineListFetcher&) = delete;
    OnlineListFetcher& operator=(const OnlineListFetcher&) = delete;

    // Reads one document: a list into parent, or the detail of save. Exactly
    // one of the two is set.
    void Fetch(const std::string& address, OnlineFolder* parent, OnlineSave* save);
    // For the "Online Database" item: fetches SAVES_URL into root.
    bool RefreshRoot(OnlineFolder* root);

    // True from a threaded Fetch until its job has finished everything.
    bool IsRunning() const { return m_running.load(); }
    void WaitForJob();

    // Where the reader's trace goes; standard output unless changed, null
    // for nowhere.
    void SetTraceStream(std::ostream* trace) { m_reader.SetTraceStream(trace); }
    const std::string& GetRequestAddress() const { return m_requestAddress; }

private:
    friend class OnlineListBuilder;

    void ThreadMain();
    int RunListJob();
    void SendToMainWindow(unsigned message, long long wParam, long long lParam);
    void ShowChildren(OnlineFolder* parent);

    OnlineTreeView* m_owner;
    MessageTarget* m_mainWindow;
    OnlineListBuilder m_builder;
    XmlReader m_reader;
    // What the running document fills: the folder whose list is read (its
    // new children wait in m_newChildren until the tree takes them on the
    // UI thread) or the save whose detail is read.
    OnlineFolder* m_currentParent = nullptr;
    OnlineSave* m_currentDetailSave = nullptr;
    std::list<std::unique_ptr<OnlineRecord>> m_newChildren;
    std::vector<OnlineSave*> m_detailQueue; // not owned: saves of m_newChildren
    std::string m_requestAddress;
    OnlineFolder* m_parentArgument = nullptr;
    OnlineSave* m_saveArgument = nullptr;
    std::atomic<bool> m_running{false};
    bool m_threaded = false;
    std::atomic<bool> m_cancel{false};
    std::atomic<std::thread::id> m_jobThread{};
    std::thread m_thread;
};

} // namespace tolvar
