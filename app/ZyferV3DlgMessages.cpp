// The application messages of the main window, as the UI thread receives
// them. Jobs send them from their threads and wait until the handler has
// run, so a text argument stays valid meanwhile; this is the one place that
// reads their WPARAM and LPARAM, and each goes on as a typed call: to the
// flow it ends (app/flows/), or to the activity bars and the trees. Every
// handler returns 1 except the online refresh, which returns 0.
#include "app/ZyferV3Dlg.h"
#include "messages/AppMessages.h"

namespace tolvar {

namespace {

std::string TextOf(WParam wParam)
{
    const char* text = reinterpret_cast<const char*>(wParam);
    return text != nullptr ? text : "";
}

} // namespace

bool CZyferV3Dlg::OnApplicationMessage(unsigned message, WParam wParam, LParam lParam,
                                       LResult& result)
{
    result = 1;
    switch (message) {
    case WM_APP_DOWNLOAD_DONE:
        OnDownloadDone(TextOf(wParam));
        return true;
    case WM_APP_DOWNLOAD_INCOMPLETE:
        OnDownloadFailed(TextOf(wParam), "The download failed to complete, aborting");
        return true;
    case WM_APP_DOWNLOAD_CORRUPT:
        OnDownloadFailed(TextOf(wParam), "The download was corrupt, aborting");
        return true;
    case WM_APP_REFRESH_ONLINE:
        OnUploadDone();
        result = 0;
        return true;
    case WM_APP_CODELIST_DONE:
        OnCodeListDone();
        return true;
    case WM_APP_DRIVE_PRESENT:
    case WM_APP_DRIVE_ABSENT:
        OnDrivePresence(message == WM_APP_DRIVE_PRESENT);
        return true;
    case WM_APP_BUSY_START:
        (lParam == 1 ? m_rightBar : m_leftBar).Start();
        return true;
    case WM_APP_BUSY_STOP:
        (lParam == 1 ? m_rightBar : m_leftBar).Stop();
        return true;
    case WM_APP_ONLINE_TREE_BUSY:
        m_onlineTree->EnableWindow(wParam == 0);
        return true;
    case WM_APP_LOCAL_TREE_BUSY:
        m_localTree->EnableWindow(wParam == 0);
        return true;
    case WM_TRAY_NOTIFY:
        m_trayIcon.OnTrayNotification(wParam, lParam);
        return true;
    default:
        return false;
    }
}

} // namespace tolvar
