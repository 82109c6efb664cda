// Download: an online save dragged (or copied with Ctrl+C and pasted with
// Ctrl+V) onto a location of the Local Tree is fetched into that location's
// folder and listed there.
//
//  1. UI thread, COnlineTree::BeginDrag: the drag carries this window's
//     handle and the save's address, size and name (MakeOnlineSaveBlock).
//  2. UI thread, CLocalTree::OnDrop: a drag of this window only; the
//     location under the pointer (or the location of the save under it)
//     gives the folder, and the tree calls DownloadSave with the drag's save.
//  3. UI thread, DownloadSave below: one download at a time; the job is
//     handed copies, with the device the location was listed with.
//  4. Download job's thread, DownloadJob (online/DownloadJob.cpp): asks
//     before replacing a file, fetches into a temporary file and checks it;
//     both trees are busy and the left bar turns meanwhile. It ends with
//     WM_APP_DOWNLOAD_DONE, _INCOMPLETE or _CORRUPT, sent to this window.
//  5. UI thread, OnDownloadDone / OnDownloadFailed below (reached from
//     ZyferV3DlgMessages.cpp): the Local Tree lists the arrived save, or the
//     temporary file goes once the user has read why.
#include "app/ZyferV3Dlg.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/FileOps.h"

#include <string>

namespace tolvar {

namespace {

constexpr std::size_t kFolderSize = 260;
constexpr std::size_t kFileNameSize = 256;

std::string Cut(std::string text, std::size_t size)
{
    if (text.size() > size - 1) {
        text.resize(size - 1);
    }
    return text;
}

} // namespace

// Step 3.
void CZyferV3Dlg::DownloadSave(const OnlineSaveDrag& save, const std::string& folder)
{
    // A save whose detail named no file is dropped in vain; the disabled
    // trees normally keep a second download from starting.
    if (m_closing || save.downloadSize == 0 || m_downloadJob.IsRunning()) {
        return;
    }
    m_downloadFolder = folder;
    m_downloadJob.Start(
        {save.url, save.downloadSize, folder, m_localTree->Locations().ListedDeviceOf(folder)});
}

// Asked by the Local Tree before it lets a drive be removed.
bool CZyferV3Dlg::IsDownloadingTo(const std::string& folder) const
{
    return m_downloadJob.IsRunning() && folder == m_downloadFolder;
}

// Step 5: the job names the file it renamed into place.
void CZyferV3Dlg::OnDownloadDone(const std::string& path)
{
    std::size_t split = path.rfind('\\');
    if (split == std::string::npos || split == 0) {
        AfxMessageBox("Either the file directory or the file path is incorrect", MB_OK);
        split = 0; // the first character stands for the folder
    }
    const std::string folder = Cut(path.substr(0, split + 1), kFolderSize);
    const std::string fileName =
        Cut(path.size() > split + 1 ? path.substr(split + 1) : "", kFileNameSize);
    m_localTree->AddArrivedSave(fileName.c_str(), folder.c_str());
    if (IsListed(folder, fileName)) {
        NoticeIfAway("The download has completed.");
    }
}

// Step 5 of a short or corrupt answer: the job names its temporary file.
void CZyferV3Dlg::OnDownloadFailed(const std::string& temporaryPath, const char* text)
{
    AfxMessageBox(text, MB_OK);
    fs::DeleteFile(temporaryPath.c_str());
}

} // namespace tolvar
