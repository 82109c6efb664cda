// Upload: a save of the Local Tree dragged (or pasted) onto the Online Tree
// is offered to the online community, through the upload form.
//
//  1. UI thread, CLocalTree::BeginDrag: the drag carries this window's
//     handle and the save's path, file name and folder, and whether it is
//     the code list (MakeLocalSaveBlock).
//  2. UI thread, COnlineTree::OnDrop: a drag of this window only; the code
//     list is never offered; the tree calls UploadSave with the drag's save.
//  3. UI thread, UploadSave below: a save still in the trash is refused;
//     the upload job is handed copies.
//  4. Upload job's thread, UploadJob (online/UploadJob.cpp): the form opens
//     on the UI thread while the job waits (RunUploadDlg, app/upload/), then
//     the save is posted; the Online Tree is busy and the right bar turns
//     meanwhile. A failure is shown from the job; success sends
//     WM_APP_REFRESH_ONLINE to this window.
//  5. UI thread, OnUploadDone below (reached from ZyferV3DlgMessages.cpp):
//     "Online Community" is read again, so the new save shows.
#include "app/ZyferV3Dlg.h"

#include "storage/TrashLocation.h"

namespace tolvar {

// Step 3.
void CZyferV3Dlg::UploadSave(const LocalSaveDrag& save)
{
    // A save whose name cannot be joined to its folder has no path to post;
    // one still in the trash is restored before it is offered.
    const TrashLocation* trash = m_localTree->Locations().Trash();
    if (!m_closing && !save.path.empty() && (trash == nullptr || save.folder != trash->m_name)) {
        m_uploadJob.Start(save.path, save.file);
    }
}

// Step 5.
void CZyferV3Dlg::OnUploadDone()
{
    if (!m_closing) {
        m_onlineTree->RefreshCommunity();
        NoticeIfAway("The upload has completed.");
    }
}

} // namespace tolvar
