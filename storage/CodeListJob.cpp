#include "storage/CodeListJob.h"

#include "messages/AppMessages.h"
#include "messages/JobActivity.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"
#include "platform/net/Url.h"
#include "platform/shell/TrashOrAsk.h"
#include "storage/LocalTreeHost.h"

#include <memory>

namespace tolvar {

namespace {

constexpr const char* kCodeListName = "codelist.bin";
constexpr std::size_t kCodeListMinBytes = 16;
// Far above any real code list; an answer beyond it is not one.
constexpr std::size_t kCodeListMaxBytes = 32u << 20;

// Fetches the code list whole and only then puts it in place of the old
// file: an error page, a cut or tiny answer, a stopped job or a folder no
// longer on its drive leave the old file as it was.
bool DownloadCodeList(const std::string& url, const CodeListJob::Destination& destination,
                      const std::atomic<bool>& cancel)
{
    net::UrlParts parts;
    if (!net::ParseUrl(url, parts) ||
        (parts.service != net::UrlService::Http && parts.service != net::UrlService::Https)) {
        return false;
    }
    std::string body;
    try {
        net::InternetSession session;
        session.SetCancelFlag(&cancel);
        std::unique_ptr<net::HttpConnection> connection =
            session.GetHttpConnection(parts.server, parts.port, parts.service);
        if (!connection) {
            return false;
        }
        std::unique_ptr<net::HttpFile> request = connection->OpenRequest("GET", parts.object);
        request->SendRequest();
        const int status = request->GetStatusCode();
        if (status < 200 || status > 299) {
            return false;
        }
        char block[4096];
        while (std::size_t n = request->Read(block, sizeof block)) {
            body.append(block, n);
            if (body.size() > kCodeListMaxBytes || cancel) {
                return false;
            }
        }
    } catch (const net::InternetException&) {
        return false;
    }
    const std::string target = destination.folder + kCodeListName;
    return body.size() >= kCodeListMinBytes && !cancel &&
           fs::IsFolderOnDevice(destination.folder.c_str(), destination.device) &&
           fs::WriteFileAtomically(target.c_str(), body.data(), body.size(),
                                   [&] { return shell::TrashBeforeReplace(target, &cancel); });
}

std::string Joined(const std::vector<std::string>& texts)
{
    std::string joined;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : ", ") + text;
    }
    return joined;
}

void Run(WorkerJob& job, MessageTarget& mainWindow, LocalTreeHost* host, bool allDrives,
         const std::vector<CodeListJob::Destination>& destinations,
         const CodeListJob::TreeSide& tree)
{
    if (destinations.empty() || job.IsCancelled()) {
        return;
    }
    if (allDrives &&
        AfxMessageBox("This will copy the codelist to all drives, do you want to continue?",
                      MB_YESNO) == IDNO) {
        return;
    }
    // The tree stays disabled from here to every way out.
    InvokeOnUiThread([&] { tree.enable(false); });
    struct Enable
    {
        const CodeListJob::TreeSide& tree;
        ~Enable()
        {
            InvokeOnUiThread([this] { tree.enable(true); });
        }
    } enableAtEnd{tree};

    const std::string url = host != nullptr && !job.IsCancelled() ? host->GetCodeListUrl() : "";
    if (job.IsCancelled()) {
        return;
    }
    if (url.empty()) {
        AfxMessageBox("Could not establish an internet connection.");
        return;
    }
    const std::string targetFile = destinations.front().folder + kCodeListName;
    if (!allDrives && fs::FileExists(targetFile.c_str()) &&
        (job.IsCancelled() ||
         AfxMessageBox(
             "The file already exists on the destination drive, do you want to copy it anyway?",
             MB_YESNO) == IDNO)) {
        return;
    }
    bool downloaded = false;
    {
        JobActivity activity(mainWindow, ActivityBar::Local);
        downloaded =
            !job.IsCancelled() && DownloadCodeList(url, destinations.front(), job.CancelFlag());
    }
    if (!downloaded) {
        if (!job.IsCancelled()) {
            AfxMessageBox("An error occured downloading the Code List");
        }
        return;
    }
    std::vector<std::string> failed;
    if (allDrives && !job.IsCancelled()) {
        failed = CodeListJob::CopyToOthers(destinations, &job.CancelFlag());
    }
    if (job.IsCancelled()) {
        return;
    }
    if (failed.empty()) {
        mainWindow.SendAppMessage(WM_APP_CODELIST_DONE,
                                  reinterpret_cast<WParam>(targetFile.c_str()), 0);
    } else {
        AfxMessageBox("The Code List was downloaded but could not be copied to " + Joined(failed) +
                      ".");
    }
    InvokeOnUiThread([&] { tree.rescan(); });
}

} // namespace

void CodeListJob::Start(MessageTarget& mainWindow, LocalTreeHost* host, bool allDrives,
                        std::vector<Destination> destinations, TreeSide tree)
{
    m_job.Start([&mainWindow, host, allDrives, destinations = std::move(destinations),
                 tree = std::move(tree)](WorkerJob& job) {
        Run(job, mainWindow, host, allDrives, destinations, tree);
    });
}

std::vector<std::string> CodeListJob::CopyToOthers(const std::vector<Destination>& destinations,
                                                   const std::atomic<bool>* cancel)
{
    std::vector<std::string> failed;
    if (destinations.size() < 2) {
        return failed;
    }
    const std::string source = destinations.front().folder + kCodeListName;
    fs::File file;
    if (!file.Open(source.c_str(), fs::OpenMode::Read)) {
        AfxMessageBox("The Source file does not exist... Exiting the process");
        return failed;
    }
    file.Close();
    for (std::size_t i = 1; i < destinations.size(); ++i) {
        const Destination& other = destinations[i];
        const std::string target = other.folder + kCodeListName;
        if (fs::IsSameFile(source.c_str(), target.c_str())) {
            continue;
        }
        // A drive whose old list the user keeps is skipped, not failed.
        bool kept = false;
        if (!fs::IsFolderOnDevice(other.folder.c_str(), other.device) ||
            (!fs::CopyFile(source.c_str(), target.c_str(), fs::CopyMode::Replace,
                           [&] {
                               kept = !shell::TrashBeforeReplace(target, cancel);
                               return !kept;
                           }) &&
             !kept)) {
            failed.push_back(other.label);
        }
    }
    return failed;
}

} // namespace tolvar
