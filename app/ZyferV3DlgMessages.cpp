// The application messages of the main window: workers and trees send them
// (each sender waits until its handler has run, so text arguments stay valid
// meanwhile), and the handlers turn them into calls on the trees, the
// activity bars and message boxes. Every handler returns 1 except the online
// refresh, which returns 0.
#include "app/ZyferV3Dlg.h"
#include "messages/AppMessages.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/Path.h"

#include <cstring>
#include <string>

namespace tolvar {

namespace {

constexpr std::size_t kFolderSize = 260;
constexpr std::size_t kFileNameSize = 256;

const char* TextOf(WParam wParam)
{
    const char* text = reinterpret_cast<const char*>(wParam);
    return text != nullptr ? text : "";
}

std::string Cut(std::string text, std::size_t size)
{
    if (text.size() > size - 1) {
        text.resize(size - 1);
    }
    return text;
}

} // namespace

bool CZyferV3Dlg::OnApplicationMessage(unsigned message, WParam wParam, LParam lParam,
                                       LResult& result)
{
    switch (message) {
    case WM_APP_DOWNLOAD_TO_FOLDER:
        result = OnDownloadToFolder(wParam, lParam);
        return true;
    case WM_APP_DOWNLOAD_DONE:
        result = OnDownloadDone(wParam, lParam);
        return true;
    case WM_APP_BUSY_START:
        result = OnBusyStart(wParam, lParam);
        return true;
    case WM_APP_BUSY_STOP:
        result = OnBusyStop(wParam, lParam);
        return true;
    case WM_APP_DOWNLOAD_INCOMPLETE:
        result = OnDownloadIncomplete(wParam, lParam);
        return true;
    case WM_APP_UPLOAD_SAVE:
        result = OnUploadSave(wParam, lParam);
        return true;
    case WM_APP_CODELIST_DONE:
        result = OnCodeListDone(wParam, lParam);
        return true;
    case WM_APP_REFRESH_ONLINE:
        result = OnRefreshOnline(wParam, lParam);
        return true;
    case WM_APP_DRIVE_PRESENT:
        result = OnDrivePresent(wParam, lParam);
        return true;
    case WM_APP_DRIVE_ABSENT:
        result = OnDriveAbsent(wParam, lParam);
        return true;
    case WM_APP_DOWNLOAD_CORRUPT:
        result = OnDownloadCorrupt(wParam, lParam);
        return true;
    case WM_APP_ONLINE_TREE_BUSY:
        result = OnOnlineTreeBusy(wParam, lParam);
        return true;
    case WM_APP_LOCAL_TREE_BUSY:
        result = OnLocalTreeBusy(wParam, lParam);
        return true;
    case WM_TRAY_NOTIFY:
        result = OnTrayNotify(wParam, lParam);
        return true;
    default:
        return false;
    }
}

LResult CZyferV3Dlg::OnDownloadToFolder(WParam wParam, LParam)
{
    const std::string folder = TextOf(wParam);
    const bool downloading = m_onlineTree->IsDownloading();
    m_onlineTree->StartDownload(folder.c_str(), m_localTree->Locations().ListedDeviceOf(folder));
    if (!downloading) {
        m_downloadFolder = folder;
    }
    return 1;
}

bool CZyferV3Dlg::IsDownloadingTo(const std::string& folder) const
{
    return m_onlineTree != nullptr && m_onlineTree->IsDownloading() && folder == m_downloadFolder;
}

LResult CZyferV3Dlg::OnDownloadDone(WParam wParam, LParam)
{
    const std::string path = TextOf(wParam);
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
    return 1;
}

LResult CZyferV3Dlg::OnBusyStart(WParam, LParam lParam)
{
    (lParam == 1 ? m_rightBar : m_leftBar).Start();
    return 1;
}

LResult CZyferV3Dlg::OnBusyStop(WParam, LParam lParam)
{
    (lParam == 1 ? m_rightBar : m_leftBar).Stop();
    return 1;
}

LResult CZyferV3Dlg::OnDownloadIncomplete(WParam wParam, LParam)
{
    const std::string path = TextOf(wParam);
    AfxMessageBox("The download failed to complete, aborting", MB_OK);
    fs::DeleteFile(path.c_str());
    return 1;
}

LResult CZyferV3Dlg::OnUploadSave(WParam, LParam)
{
    if (!m_closing) {
        m_localTree->StartUpload();
    }
    return 1;
}

LResult CZyferV3Dlg::OnCodeListDone(WParam, LParam)
{
    AfxMessageBox("The Code List has completed downloading.", MB_OK);
    return 1;
}

LResult CZyferV3Dlg::OnRefreshOnline(WParam, LParam)
{
    if (!m_closing) {
        m_onlineTree->RefreshCommunity();
        NoticeIfAway("The upload has completed.");
    }
    return 0;
}

LResult CZyferV3Dlg::OnDrivePresent(WParam, LParam)
{
    m_logoBlinking = true;
    m_logoLit = true;
    ShowLogo(true);
    return 1;
}

LResult CZyferV3Dlg::OnDriveAbsent(WParam, LParam)
{
    m_logoLit = false;
    ShowLogo(false);
    return 1;
}

LResult CZyferV3Dlg::OnDownloadCorrupt(WParam wParam, LParam)
{
    const std::string path = TextOf(wParam);
    AfxMessageBox("The download was corrupt, aborting", MB_OK);
    fs::DeleteFile(path.c_str());
    return 1;
}

LResult CZyferV3Dlg::OnOnlineTreeBusy(WParam wParam, LParam)
{
    m_onlineTree->EnableWindow(wParam == 0);
    return 1;
}

LResult CZyferV3Dlg::OnLocalTreeBusy(WParam wParam, LParam)
{
    m_localTree->EnableWindow(wParam == 0);
    return 1;
}

LResult CZyferV3Dlg::OnTrayNotify(WParam wParam, LParam lParam)
{
    m_trayIcon.OnTrayNotification(wParam, lParam);
    return 1;
}

void CZyferV3Dlg::OnCodeListButton()
{
    m_localTree->OnMenuCommand(kCodeListAllCommand, nullptr);
}

LResult CZyferV3Dlg::OnDeviceChange(WParam eventType, LParam broadcast)
{
    const auto* volume = reinterpret_cast<const DevBroadcastVolume*>(broadcast);
    if ((eventType != DBT_DEVICEARRIVAL && eventType != DBT_DEVICEREMOVECOMPLETE) ||
        volume == nullptr || volume->deviceType != DBT_DEVTYP_VOLUME) {
        return 0;
    }
    // A, B and C are never save drives.
    for (int drive = 3; drive <= 25; ++drive) {
        if (!(volume->unitMask & (1u << drive))) {
            continue;
        }
        const char letter = static_cast<char>('A' + drive);
        if (eventType == DBT_DEVICEARRIVAL) {
            m_localTree->OnDriveArrived(letter);
        } else {
            m_localTree->OnDriveRemoved(letter);
        }
    }
    return 0;
}

} // namespace tolvar
