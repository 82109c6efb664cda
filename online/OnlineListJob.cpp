// The list job. A Fetch made while no job runs starts it on a worker thread.
// After a list, the detail documents of its saves are fetched side by side
// over a few kept-alive connections, a batch at a time, and each batch is read
// in queue order and let go before the next is fetched, so only a batch of
// small answers is ever held. The job reads the list document whole, lets the reader and builder
// turn it into records, sorts them, and only then hands them to the tree, a piece at a time so
// input is served in between: everything the tree sees (its items, the folder's children) changes
// on the UI thread through InvokeOnUiThread, while the records under construction stay private to
// the worker.
#include "online/OnlineListJob.h"

#include "messages/AppMessages.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListBuilder.h"
#include "online/OnlineSave.h"
#include "online/OnlineTreeView.h"
#include "online/ServerSettings.h"
#include "online/XmlReader.h"
#include "platform/base/MessageBox.h"
#include "platform/base/MessageTarget.h"
#include "platform/base/UiThread.h"
#include "platform/net/Http2Probe.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <list>
#include <memory>
#include <vector>

namespace tolvar {
namespace {
constexpr const char* kNoConnection = "Could not establish an internet connection.";
constexpr const char* kEmptyList = "<result></result>";
// Detail requests in flight at once over HTTP/2: what nginx takes by default.
constexpr int kHttp2Streams = 128;

// Records handed to the UI thread at a time. A folder of 50,000 saves goes
// over in pieces of a millisecond or two, and input waits for no more.
constexpr std::size_t kRecordsPerHandOver = 1000;

// Detail documents fetched before they are read and let go: enough to keep
// every connection busy, few enough that their answers cost little memory.
constexpr std::size_t kDetailsPerBatch = 4 * OnlineListJob::kDetailConnections;
// Over HTTP/2 a batch costs a round trip whatever its size, so it is larger:
// a thousand details in two round trips, at most 32 MB of capped answers.
constexpr std::size_t kHttp2DetailsPerBatch = 512;

// On the UI thread: the folder takes the next records, already in order,
// and the tree shows them.
void ShowChildren(OnlineTreeView* owner, OnlineFolder* parent,
                  std::list<std::unique_ptr<OnlineRecord>>& records)
{
    if (records.empty()) {
        return;
    }
    const auto first = records.begin(); // stays valid across the splice
    parent->m_children.splice(parent->m_children.end(), records);
    if (owner == nullptr) {
        return;
    }
    for (auto child = first; child != parent->m_children.end(); ++child) {
        if ((*child)->m_kind == kOnlineKindFolder) {
            owner->AddFolderItem(static_cast<OnlineFolder*>(child->get()), parent);
        } else if ((*child)->m_kind == kOnlineKindSave) {
            owner->AddSaveItem(static_cast<OnlineSave*>(child->get()), parent);
        }
    }
}

// Reads an answer whole and joins its lines, the XML declaration's dropped,
// into the buffer the reader parses. What fails raises before anything is
// parsed.
std::string ReadDocument(net::HttpFile& file)
{
    std::vector<std::string> lines;
    std::size_t total = 0;
    std::string line;
    while (file.ReadString(line)) {
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
    return buffer;
}

// Each document has a builder of its own, so a detail document leaves the
// list it serves untouched.
OnlineListBuild BuildRecords(const std::string& buffer, bool readsList, bool readsDetail,
                             std::ostream* trace)
{
    OnlineListBuilder builder(readsList, readsDetail);
    if (buffer == kEmptyList) {
        builder.OnNode("save", "");
        builder.OnElement("name", OnlineSave::kPlaceholderName, "");
        builder.OnElement("url", "", "");
        builder.OnElement("description", OnlineSave::kPlaceholderName, "");
        builder.OnEndDocument();
    } else {
        XmlReader reader(&builder);
        reader.SetTraceStream(trace);
        reader.ParseDocument(buffer.data(), static_cast<int>(buffer.size()));
    }
    return builder.TakeBuild();
}

} // namespace

OnlineListJob::OnlineListJob(OnlineTreeView* owner, MessageTarget* mainWindow)
    : m_owner(owner), m_mainWindow(mainWindow), m_trace(XmlReader::TraceStreamFromEnvironment())
{
}

OnlineListJob::~OnlineListJob() = default;

void OnlineListJob::Fetch(const std::string& address, OnlineFolder* parent)
{
    if (m_running) {
        // A second job would share the tree's records with the running one;
        // the disabled tree normally prevents it.
        return;
    }
    m_running = true;
    m_job.Start([this, address = address + "&random=" + std::to_string(std::rand()),
                 parent](WorkerJob&) { Run(address, parent); });
}

bool OnlineListJob::RefreshRoot(OnlineFolder* root)
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
    Fetch(url, root);
    return true;
}

void OnlineListJob::SendToMainWindow(unsigned message, long long wParam, long long lParam)
{
    if (m_mainWindow != nullptr && !m_job.IsCancelled()) {
        m_mainWindow->SendAppMessage(message, static_cast<WParam>(wParam),
                                     static_cast<LParam>(lParam));
    }
}

void OnlineListJob::Run(const std::string& address, OnlineFolder* parent)
{
    const std::atomic<bool>& cancelled = m_job.CancelFlag();
    SendToMainWindow(WM_APP_BUSY_START, 0, 1);
    if (m_owner != nullptr && !cancelled) {
        InvokeOnUiThread([this] {
            m_owner->EnableWindow(false);
            m_owner->RedrawWindow();
            m_owner->SetRedraw(false);
        });
    }

    try {
        // No connectivity check first, as for the settings page.
        net::InternetSession session;
        session.SetCancelFlag(&cancelled);
        std::unique_ptr<net::HttpFile> file = session.OpenUrl(address);
        if (!file) {
            throw net::InternetException("no answer");
        }
        OnlineListBuild build =
            BuildRecords(ReadDocument(*file), parent != nullptr, false, m_trace);
        file->Close();

        FetchDetailsSideBySide(build.detailQueue);
        if (parent != nullptr) {
            // Sorted while the records are still the job's own. The folder is
            // empty: it is read only while it has no children, and Refresh
            // empties it first, so the pieces arrive in the folder's order.
            OnlineFolder::SortByName(build.children);
            while (!build.children.empty() && !cancelled) {
                std::list<std::unique_ptr<OnlineRecord>> piece;
                auto end = build.children.begin();
                std::advance(end, std::min(kRecordsPerHandOver, build.children.size()));
                piece.splice(piece.end(), build.children, build.children.begin(), end);
                InvokeOnUiThread([this, parent, &piece] { ShowChildren(m_owner, parent, piece); });
            }
        }
        session.Close();
    } catch (const std::exception&) {
        // Nothing of a failed document reaches the tree: what it built dies
        // with this frame.
        if (!cancelled) {
            AfxMessageBox(kNoConnection, MB_OK);
        }
    }

    SendToMainWindow(WM_APP_BUSY_STOP, 0, 1);
    if (m_owner != nullptr && !cancelled) {
        InvokeOnUiThread([this] {
            // Cleared before the tree takes input again, so a Fetch made
            // as soon as it is enabled is not refused. Only here: once
            // the tree has it back, a new job may already have set it.
            m_running = false;
            m_owner->SetRedraw(true);
            m_owner->EnableWindow(true);
            m_owner->RedrawWindow();
            m_owner->UpdateScrollBar();
        });
    } else {
        m_running = false;
    }
}

void OnlineListJob::FetchDetailsSideBySide(const std::vector<OnlineSave*>& queue)
{
    const std::atomic<bool>& cancelled = m_job.CancelFlag();
    net::NetTimeouts detailBounds = net::DefaultNetTimeouts();
    detailBounds.maxBodyBytes = kMaxDetailBytes;
    net::InternetSession session(detailBounds);
    session.SetCancelFlag(&cancelled);
    std::vector<OnlineSave*> saves;
    std::vector<std::string> addresses;
    for (OnlineSave* save : queue) {
        if (save->m_url && !save->m_url->empty()) {
            saves.push_back(save);
            // Drawn in queue order, as the one-by-one reading drew them.
            addresses.push_back(*save->m_url + "&random=" + std::to_string(std::rand()));
        }
    }
    if (saves.empty()) {
        return;
    }
    // Where the details' server speaks HTTP/2 (asked once a process), they
    // go as streams of one connection; else side by side on a few.
    const bool http2 = net::ServerSpeaksHttp2(addresses.front(), net::NetTimeouts{});
    const std::size_t perBatch = http2 ? kHttp2DetailsPerBatch : kDetailsPerBatch;
    for (std::size_t first = 0; first < saves.size() && !cancelled; first += perBatch) {
        const std::size_t last = std::min(saves.size(), first + perBatch);
        std::vector<std::unique_ptr<net::HttpFile>> answers =
            session.OpenUrls({addresses.begin() + static_cast<std::ptrdiff_t>(first),
                              addresses.begin() + static_cast<std::ptrdiff_t>(last)},
                             http2 ? kHttp2Streams : kDetailConnections, http2);
        for (std::size_t i = 0; i < answers.size() && !cancelled; ++i) {
            try {
                OnlineListBuild build =
                    BuildRecords(ReadDocument(*answers[i]), false, true, m_trace);
                if (build.file) {
                    saves[first + i]->m_file = std::move(build.file);
                }
            } catch (const std::exception&) {
                // One failed detail is reported alone; the others still count.
                AfxMessageBox(kNoConnection, MB_OK);
            }
            answers[i].reset();
        }
    }
}

} // namespace tolvar
