// Drive arrival and removal: a save drive plugged in is listed in the Local
// Tree with its saves; one pulled out leaves it; the logo lights while a
// save drive is present.
//
//  1. Volume watcher's thread (fs::VolumeWatcher, started below): it polls
//     the mount table and posts kVolumeChangedMessage (event, unit mask).
//  2. UI thread, OnMessage (app/ZyferV3Dlg.cpp) turns the post into
//     WM_DEVICECHANGE with a volume broadcast; OnDeviceChange below calls
//     the Local Tree for each drive letter.
//  3. UI thread, CLocalTree::OnDriveArrived / OnDriveRemoved
//     (storage/LocalTree.cpp): the location is scanned and shown, or its
//     item and record go. Records held across a box or a menu are looked up
//     again (LocationList::Mark/Recall), so a removal served inside a
//     question frees nothing still in use.
//  4. UI thread, LocationList tells this window whether any drive is present
//     (WM_APP_DRIVE_PRESENT / _ABSENT, sent from the same thread), and
//     OnDrivePresence below lights the logo, blinking on arrival.
#include "app/ZyferV3Dlg.h"

#include "platform/ui/WindowSystem.h"

namespace tolvar {

// Step 1.
void CZyferV3Dlg::StartVolumeWatcher()
{
    const WindowHandle self = Handle();
    m_volumeWatcher = std::make_unique<fs::VolumeWatcher>(
        fs::VolumeTable::Global(), [self](fs::VolumeEvent event, std::uint32_t unitMask) {
            const WParam type =
                event == fs::VolumeEvent::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
            ui::PostMessage(self, kVolumeChangedMessage, type, static_cast<LParam>(unitMask));
        });
}

// Step 2.
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

// Step 4.
void CZyferV3Dlg::OnDrivePresence(bool present)
{
    if (present) {
        m_logoBlinking = true;
    }
    m_logoLit = present;
    ShowLogo(present);
}

} // namespace tolvar
