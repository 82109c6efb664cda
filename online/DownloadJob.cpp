// The download job. The answer is written to a temporary file of its own in the destination
// folder as it arrives, checked over the very blocks written, and the file flushed; a
// good save is renamed over the target in one step, anything else is removed, so no failure (a
// refused name, a cut transfer, an error page, a closed program) can leave a user's save truncated
// or half-written. The incomplete and corrupt messages name the temporary file, which their
// handlers delete.
#include "online/DownloadJob.h"

#include "messages/AppMessages.h"
#include "messages/JobActivity.h"
#include "online/JobTarget.h"
#include "online/OnlineValue.h"
#include "platform/base/MessageBox.h"
#include "platform/base/MessageTarget.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/Path.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"
#include "platform/net/Url.h"
#include "platform/shell/TrashOrAsk.h"
#include "saveformat/SaveFormat.h"
#include "saveformat/SaveSealStream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace tolvar {
namespace {

constexpr const char* kCopyError = "An error occured trying to copy the file.";
constexpr const char* kTransferError = "An error occured during the transfer of the file.";
constexpr const char* kOverwriteQuestion =
    "The file already exists on the destination drive, do you want to copy it anyway?";
// Many network blocks, so a big save costs few writes.
constexpr std::size_t kBlockSize = 256 * 1024;

// A file of the job's own beside the target, named so no folder listing
// takes it for a save; removed when the job lets go of it unrenamed.
class TemporaryFile
{
public:
    ~TemporaryFile() { Remove(); }

    bool Create(const std::string& folder)
    {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 8; ++attempt) {
            char name[24];
            std::snprintf(name, sizeof name, "~dl%08x.part", static_cast<unsigned>(random()));
            std::string path;
            if (!fs::JoinFileName(folder, name, path) || path.size() >= fs::kMaxPath) {
                return false;
            }
            if (m_file.Open(path.c_str(), fs::OpenMode::CreateNew)) {
                m_path = std::move(path);
                return true;
            }
            if (fs::FileExists(path.c_str()) == false) {
                return false; // not a clash of names: the folder refuses files
            }
        }
        return false;
    }
    fs::File& File() { return m_file; }
    const std::string& Path() const { return m_path; }
    // The file is someone else's now (renamed over the target).
    void Release() { m_path.clear(); }
    void Remove()
    {
        m_file.Close();
        if (!m_path.empty()) {
            fs::DeleteFile(m_path.c_str());
            m_path.clear();
        }
    }

private:
    fs::File m_file;
    std::string m_path;
};

// Writes the answer into the temporary file in large blocks as it arrives,
// and takes the seal check over each block just as it was handed to the file,
// so the check covers exactly the bytes on disk without reading them back.
// Each block written is sent on its way to the medium at once, which leaves
// the one flush at the end little to wait for.
class SaveWriter final : public net::AnswerSink
{
public:
    explicit SaveWriter(fs::File& file) : m_file(file) { m_block.reserve(kBlockSize); }

    bool Receive(const void* data, std::size_t length) override
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        while (length > 0) {
            const std::size_t n = std::min(length, kBlockSize - m_block.size());
            m_block.insert(m_block.end(), bytes, bytes + n);
            bytes += n;
            length -= n;
            if (m_block.size() == kBlockSize && !WriteBlock()) {
                return false;
            }
        }
        return true;
    }
    // Writes what is left of the answer; false when the file refuses it.
    bool Finish() { return WriteBlock(); }

    std::uint64_t Length() const { return m_seal.Length(); }
    // Whether the file holds a whole, valid save, as the catalogue judges one.
    bool IsValidSave() const { return m_seal.IsValidSave(); }

private:
    bool WriteBlock()
    {
        if (m_block.empty()) {
            return true;
        }
        if (!m_file.Write(m_block.data(), m_block.size())) {
            return false;
        }
        m_file.StartWriteback(m_seal.Length(), m_block.size());
        m_seal.Add(m_block.data(), m_block.size());
        m_block.clear();
        return true;
    }

    fs::File& m_file;
    std::vector<std::uint8_t> m_block;
    SaveSealStream m_seal; // over every byte written so far
};

// The job's run on its own thread: every way out gives the trees back and
// stops the bar through the activity guard.
class DownloadRun
{
public:
    DownloadRun(const DownloadRequest& request, MessageTarget& mainWindow,
                const std::atomic<bool>& cancelled)
        : m_request(request), m_mainWindow(&mainWindow, cancelled), m_cancelled(cancelled)
    {
    }

    // Refused: nothing was fetched. Judged: the answer was delivered, or
    // reported corrupt or short.
    enum class End
    {
        Refused,
        Failed,
        Judged,
    };

    End Run()
    {
        JobActivity activity(m_mainWindow, ActivityBar::Local,
                             {WM_APP_ONLINE_TREE_BUSY, WM_APP_LOCAL_TREE_BUSY});
        std::string target;
        const std::string name = DownloadFileName(m_request.url);
        // The server names the file: it must stay a plain name in this folder.
        if (name.empty() || !fs::JoinFileName(m_request.folder, name.c_str(), target) ||
            target.size() >= fs::kMaxPath) {
            Show(kCopyError);
            return End::Refused;
        }

        fs::File probe;
        if (probe.Open(target.c_str(), fs::OpenMode::Read)) {
            probe.Close();
            activity.PauseBar();
            if (m_cancelled || AfxMessageBox(kOverwriteQuestion, MB_YESNO) == IDNO) {
                return End::Refused;
            }
            activity.ResumeBar();
        }

        // The address is checked before any file exists, so a url of another
        // kind leaves nothing behind.
        net::UrlParts parts;
        if (!net::ParseUrl(m_request.url, parts) || parts.service != net::UrlService::Http) {
            Show(kCopyError);
            return End::Refused;
        }
        TemporaryFile temporary;
        if ((m_request.device != 0 &&
             !fs::IsFolderOnDevice(m_request.folder.c_str(), m_request.device)) ||
            !temporary.Create(m_request.folder)) {
            Show(kCopyError);
            return End::Refused;
        }

        SaveWriter writer(temporary.File());
        try {
            Transfer(parts, writer);
            if (!temporary.File().Flush()) {
                throw std::runtime_error("the downloaded file cannot be flushed");
            }
            temporary.File().Close();
        } catch (const std::exception&) {
            temporary.Remove();
            activity.PauseBar();
            Show(kTransferError);
            return End::Failed;
        }

        activity.PauseBar();
        if (m_cancelled) {
            return End::Failed; // the temporary file goes with this frame
        }
        if (!writer.IsValidSave()) {
            SendPath(WM_APP_DOWNLOAD_CORRUPT, temporary.Path());
        } else if (writer.Length() != static_cast<std::uint64_t>(m_request.downloadSize)) {
            SendPath(WM_APP_DOWNLOAD_INCOMPLETE, temporary.Path());
        } else if (!shell::TrashBeforeReplace(target, &m_cancelled)) {
            return End::Failed; // the old file kept; the temporary goes with this frame
        } else if (fs::ReplaceFile(temporary.Path().c_str(), target.c_str())) {
            temporary.Release();
            SendPath(WM_APP_DOWNLOAD_DONE, target);
        } else {
            Show(kCopyError);
        }
        return End::Judged; // a temporary file a handler has not deleted goes with this frame
    }

private:
    // The port of the url is kept: a server may listen anywhere. An answer
    // other than 2xx is a failed transfer, not a file to check.
    void Transfer(const net::UrlParts& parts, SaveWriter& out)
    {
        net::InternetSession session;
        session.SetCancelFlag(&m_cancelled);
        std::unique_ptr<net::HttpConnection> connection =
            session.GetHttpConnection(parts.server, parts.port, parts.service);
        if (!connection) {
            throw net::InternetException("no connection");
        }
        std::unique_ptr<net::HttpFile> answer = connection->OpenRequest("GET", parts.object);
        answer->SetAnswerSink(&out);
        answer->SendRequest();
        const int status = answer->GetStatusCode();
        if (status < 200 || status > 299) {
            throw net::InternetException("the server answered " + std::to_string(status));
        }
        if (!out.Finish()) {
            throw std::runtime_error("the downloaded file cannot be written");
        }
        answer->Close();
        session.Close();
    }

    // The handler runs before SendAppMessage returns, so the text lives long enough.
    void SendPath(unsigned message, const std::string& path)
    {
        m_mainWindow.SendAppMessage(message, reinterpret_cast<WParam>(path.c_str()), 0);
    }
    void Show(const char* text)
    {
        if (!m_cancelled) {
            AfxMessageBox(text, MB_OK);
        }
    }

    const DownloadRequest& m_request;
    JobTarget m_mainWindow;
    const std::atomic<bool>& m_cancelled;
};

} // namespace

std::string DownloadFileName(const std::string& url)
{
    const std::size_t slash = url.rfind('/');
    const std::string name =
        DecodeOnlineName(slash == std::string::npos ? url : url.substr(slash + 1));
    // A decoded zero would cut the name short where the file system reads it.
    if (name.find('\0') != std::string::npos || !fs::IsSafeDownloadName(name.c_str())) {
        return {};
    }
    return name;
}

DownloadJob::DownloadJob(MessageTarget& mainWindow) : m_mainWindow(mainWindow) {}

bool DownloadJob::Start(DownloadRequest request)
{
    if (m_job.IsRunning()) {
        return false;
    }
    m_job.Start([this, request = std::move(request)](WorkerJob& job) {
        Run(request, m_mainWindow, job.CancelFlag());
    });
    return true;
}

int DownloadJob::Run(const DownloadRequest& request, MessageTarget& mainWindow,
                     const std::atomic<bool>& cancelled)
{
    return DownloadRun(request, mainWindow, cancelled).Run() == DownloadRun::End::Refused ? 0 : 1;
}

} // namespace tolvar
