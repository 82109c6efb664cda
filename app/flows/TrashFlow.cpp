// The Trash location follows the desktop's trash: what this program puts
// there, and what a file manager or `gio trash` restores, empties or adds,
// shows in the Local Tree without a Refresh.
//
//  1. Trash watcher's thread (shell::TrashWatcher, started below beside the
//     volume watcher, reset first in OnDestroy): an inotify watch on the
//     trash's files/ and info/ folders posts kTrashChangedMessage once a
//     burst of changes has settled.
//  2. UI thread, OnMessage (app/ZyferV3Dlg.cpp) calls OnTrashChanged below.
//  3. UI thread, CLocalTree::OnTrashChanged (storage/LocalTree.cpp): only
//     the Trash location is listed again (storage/TrashLocation.cpp); a save
//     copied from it with Ctrl+C is looked up again by its name there.
//  Restoring out of the trash is the copy flow (a drag or a paste onto a
//  drive or "Saves\"); deleting there is the delete flow, for good.
#include "app/ZyferV3Dlg.h"

#include "platform/ui/WindowSystem.h"

namespace tolvar {

// Step 1.
void CZyferV3Dlg::StartTrashWatcher()
{
    const WindowHandle self = Handle();
    m_trashWatcher = std::make_unique<shell::TrashWatcher>(
        shell::Trash::Home(), [self] { ui::PostMessage(self, kTrashChangedMessage, 0, 0); });
}

// Step 2.
void CZyferV3Dlg::OnTrashChanged()
{
    if (!m_closing) {
        m_localTree->OnTrashChanged();
    }
}

} // namespace tolvar
