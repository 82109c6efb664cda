// The list job. A Fetch made from outside while no job runs starts it on a
// worker thread; a Fetch made by the job itself (the detail documents of the
// saves of a list) runs it at once, nested, on that thread. The job reads the
// document whole, lets the reader and builder turn it into records, and only
// then hands the new records to the tree: everything the tree sees (its items,
// the folder's children) changes on the UI thread through InvokeOnUiThread,
// while the records under construction stay private to the worker.
#include "online/OnlineListFetcher.h"

#include "messages/AppMessages.h"
#include "online/OnlineFolder.h"
#include "online/OnlineSave.h"
#include "online/OnlineTreeView.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/MessageTarget.h"
#include "platform/base/UiThread.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"

#include <cstdlib>
#include <cstring>

namespace tolvar {
namespace {
constexpr const char* kNoConnection = "Could not establish an internet connection.";
constexpr const char* kEmptyList = "<result></result>";
} // namespace

OnlineListFetcher::OnlineListFetcher(OnlineTreeView* owner, MessageTarget* mainWindow)
    : m_owner(owner)
    , m_mainWindow(mainWindow)
    , m_builder(this)
    , m_reader(&m_builder)
{
}

OnlineListFetcher::~OnlineListFetcher()
{
    // FIXME: the job may be waiting for the UI thread in InvokeOnUiThread; a
    // tree that destroys its fetcher on that thread while a job runs must
    // keep serving invoked work until the job is gone.
    m_cancel = true;
    WaitForJob();
}

void OnlineListFetcher::WaitForJob()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void OnlineListFetcher::Fetch(const std::string& address, OnlineFolder* parent, OnlineSave* save)
{
    const bool onJobThread = m_running && m_jobThread.load() == std::this_thread::get_id();
    if (m_running && !onJobThread) {
        // A second job from outside would share the fetcher's state with the
        // running one; the disabled tree normally prevents it.
        return;
    }
    m_requestAddress = address + "&random=" + std::to_string(std::rand());
    m_parentArgument = parent;
    m_saveArgument = save;
    if (!onJobThread) {
        WaitForJob(); // a finished job's thread
        m_threaded = true;
        m_running = true;
        m_cancel = false;
        m_thread = std::thread(&OnlineListFetcher::ThreadMain, this);
    } else {
        m_threaded = false;
        RunListJob();
    }
}

bool OnlineListFetcher::RefreshRoot(OnlineFolder* root)
{
    std::string url = GetSavesUrl();
    if (url.empty()) {
        LoadServerSettings();
        url = GetSavesUrl();
    }
    if (url.empty()) {
        AfxMessageBox("The internet connection does not appear to be working", MB_OK);
        return true;
    }
    Fetch(url, root, nullptr);
    return true;
}

void OnlineListFetcher::ThreadMain()
{
    m_jobThread = std::this_thread::get_id();
    RunListJob();
    m_jobThread = std::thread::id();
    m_running = false;
}

void OnlineListFetcher::SendToMainWindow(unsigned message, long long wParam, long long lParam)
{
    if (m_mainWindow != nullptr && !m_cancel) {
        m_mainWindow->SendAppMessage(message, static_cast<WParam>(wParam),
                                     static_cast<LParam>(lParam));
    }
}

void OnlineListFetcher::ShowChildren(OnlineFolder* parent)
{
    parent->m_children.splice(parent->m_children.end(), m_newChildren);
    parent->SortChildren();
    if (m_owner == nullptr) {
        return;
    }
    for (auto& child : parent->m_children) {
        if (child->m_kind == kOnlineKindFolder) {
            m_owner->AddFolderItem(static_cast<OnlineFolder*>(child.get()), parent);
        } else if (child->m_kind == kOnlineKindSave) {
            m_owner->AddSaveItem(static_cast<OnlineSave*>(child.get()), parent);
        }
    }
}

int OnlineListFetcher::RunListJob()
{
    const bool threadedRun = m_threaded;
    m_threaded = false;
    if (threadedRun) {
        SendToMainWindow(WM_APP_BUSY_START, 0, 1);
        if (m_owner != nullptr && !m_cancel) {
            InvokeOnUiThread([this] {
                m_owner->EnableWindow(false);
                m_owner->RedrawWindow();
                m_owner->SetRedraw(false);
            });
        }
    }

    // A nested run (a detail document) must leave the running list's state
    // as it found it, so each run keeps its own.
    OnlineFolder* const outerParent = m_currentParent;
    OnlineSave* const outerDetailSave = m_currentDetailSave;
    std::list<std::unique_ptr<OnlineRecord>> outerNewChildren;
    outerNewChildren.swap(m_newChildren);
    std::vector<OnlineSave*> outerQueue;
    outerQueue.swap(m_detailQueue);

    m_currentParent = m_parentArgument;
    m_currentDetailSave = m_saveArgument;
    const std::string address = m_requestAddress;
    int exitCode = 0;
    try {
        if (!net::InternetCheckConnection()) {
            net::InternetAutodial();
        }
        net::InternetSession session;
        session.SetCancelFlag(&m_cancel);
        std::unique_ptr<net::HttpFile> file = session.OpenUrl(address);
        if (!file) {
            throw net::InternetException("no answer");
        }
        std::vector<std::string> lines;
        std::size_t total = 0;
        std::string line;
        while (file->ReadString(line)) {
            if (line.compare(0, 13, "<?xml version") == 0) {
                continue;
            }
            total += line.size();
            lines.push_back(std::move(line));
        }
        std::string buffer;
        buffer.reserve(total + 1);
        for (const std::string& kept : lines) {
            buffer += kept;
        }
        lines.clear();
        if (buffer == kEmptyList) {
            m_builder.OnNode("save", "");
            m_builder.OnElement("name", OnlineSave::kPlaceholderName, "");
            m_builder.OnElement("url", "", "");
            m_builder.OnElement("description", OnlineSave::kPlaceholderName, "");
            m_builder.OnEndDocument();
        } else {
            m_reader.ParseDocument(buffer.data(), static_cast<int>(buffer.size()));
        }
        file->Close();

        if (m_currentDetailSave == nullptr) {
            const std::vector<OnlineSave*> queue = std::move(m_detailQueue);
            m_detailQueue.clear();
            OnlineFolder* const parent = m_currentParent;
            for (OnlineSave* save : queue) {
                if (m_cancel) {
                    break;
                }
                if (save->m_url && !save->m_url->empty()) {
                    Fetch(*save->m_url, nullptr, save);
                }
            }
            m_currentParent = parent;
            m_currentDetailSave = nullptr;
        }
        if (m_currentParent != nullptr && !m_cancel) {
            OnlineFolder* const parent = m_currentParent;
            InvokeOnUiThread([this, parent] { ShowChildren(parent); });
        }
        session.Close();
    } catch (const std::exception&) {
        // Nothing of a failed document reaches the tree; the queue only ever
        // points into the records dropped here.
        AfxMessageBox(kNoConnection, MB_OK);
        exitCode = 1;
    }
    m_detailQueue.clear();
    m_newChildren.clear();

    m_currentParent = outerParent;
    m_currentDetailSave = outerDetailSave;
    m_newChildren.swap(outerNewChildren);
    m_detailQueue.swap(outerQueue);

    if (threadedRun) {
        SendToMainWindow(WM_APP_BUSY_STOP, 0, 1);
        if (m_owner != nullptr && !m_cancel) {
            InvokeOnUiThread([this] {
                m_owner->SetRedraw(true);
                m_owner->EnableWindow(true);
                m_owner->RedrawWindow();
                m_owner->UpdateScrollBar();
            });
        }
    }
    return exitCode;
}

} // namespace tolvar
