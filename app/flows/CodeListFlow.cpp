// Code list: the cheat code list is fetched from the server into one
// location, or into the first location and copied to every other ("all
// drives").
//
//  1. UI thread: the Code List button (OnCodeListButton below, all drives)
//     or a location's menu; both run CLocalTree::OnMenuCommand
//     (storage/LocalTree.cpp), which shows that it may take minutes, names
//     the destinations (folder, label, device) and starts the code list job.
//  2. Code list job's thread, CodeListJob (storage/CodeListJob.cpp): asks
//     before copying to all drives or replacing a list, disables the Local
//     Tree, asks GetCodeListUrl below for the address (on the job's thread,
//     since it may read the settings page again), fetches, writes each
//     folder's file whole and copies it to the others; the left bar turns.
//     Success sends WM_APP_CODELIST_DONE to this window.
//  3. UI thread, OnCodeListDone below (reached from ZyferV3DlgMessages.cpp):
//     the end box, while the job waits.
//  4. UI thread, handed over by the job: the Local Tree rescans every
//     location and is enabled again.
#include "app/ZyferV3Dlg.h"

#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"

namespace tolvar {

// Step 1.
void CZyferV3Dlg::OnCodeListButton()
{
    m_localTree->OnMenuCommand(kCodeListAllCommand, nullptr);
}

// Step 2, on the code list job's thread.
std::string CZyferV3Dlg::GetCodeListUrl() const
{
    std::string url = tolvar::GetCodeListUrl();
    if (url.empty()) {
        LoadServerSettings(); // the page may have been out of reach at start
        url = tolvar::GetCodeListUrl();
    }
    return url;
}

// Step 3.
void CZyferV3Dlg::OnCodeListDone()
{
    AfxMessageBox("The Code List has completed downloading.", MB_OK);
}

} // namespace tolvar
