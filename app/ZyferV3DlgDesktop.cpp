// The main window and the desktop around it: saves opened from a file
// manager or a later start, coming to the front, and notifications while the
// window is away.
#include "app/ProgramFolder.h"
#include "app/ZyferV3Dlg.h"

#include "platform/base/MessageBox.h"
#include "platform/base/TextCompare.h"
#include "platform/ui/WindowSystem.h"
#include "storage/SaveEntry.h"
#include "storage/SaveFile.h"

#include <filesystem>

namespace tolvar {

namespace {

constexpr const char* kPcDatabaseFolder = "Saves\\";

bool HasSaveExtension(const std::string& path)
{
    return path.size() > 4 &&
           CompareNoCase(std::string_view(path).substr(path.size() - 4), ".tvd") == 0;
}

} // namespace

void CZyferV3Dlg::OpenSaves(const std::vector<std::string>& paths)
{
    BringToFront();
    LocationList& locations = m_localTree->Locations();
    DriveLocation* saves = locations.FindLocationByFolder(kPcDatabaseFolder);
    if (saves == nullptr || saves->m_itemId == nullptr) {
        return;
    }
    for (const std::string& path : paths) {
        const std::string programPath = ToProgramPath(path);
        SaveEntry probe;
        if (!HasSaveExtension(path) || !ReadSaveInfo(programPath.c_str(), probe)) {
            AfxMessageBox("The save is not a valid PS2 save", MB_OK);
            continue;
        }
        // A save opened from "Saves" itself is there already; copying it onto
        // itself would risk the file.
        std::error_code error;
        if (std::filesystem::equivalent(
                path, std::filesystem::path("Saves") / std::filesystem::path(path).filename(),
                error)) {
            continue;
        }
        m_localTree->ShowLocation(locations.CopyFileToItem(programPath.c_str(), saves->m_itemId),
                                  false);
    }
    m_localTree->Expand(saves->m_itemId, TVE_EXPAND);
}

bool CZyferV3Dlg::IsListed(const std::string& folder, const std::string& fileName) const
{
    return m_localTree->Locations().FindEntry(folder, fileName) != nullptr;
}

void CZyferV3Dlg::BringToFront()
{
    if (m_hidden) {
        ShowHideToggle();
    } else if (IsIconic()) {
        ShowWindow(ui::ShowCommand::Restore);
    }
    BringWindowToTop();
    // A message box a job opened while the window slept must stay above it,
    // or the job would wait on a box nobody can see.
    for (ui::Window* window : ui::WindowSystem::Get().TopLevelWindows()) {
        if (window != this && window->IsWindowVisible()) {
            window->BringWindowToTop();
        }
    }
}

void CZyferV3Dlg::NoticeIfAway(const std::string& text)
{
    if (!m_hidden && !IsIconic()) {
        return;
    }
    if (!m_notifier) {
        const WindowHandle self = Handle();
        m_notifier = shell::DesktopNotifier::Open(
            "Tolvar for PlayStation2", kApplicationId, kApplicationId, [self] {
                if (auto* window = dynamic_cast<CZyferV3Dlg*>(ui::Window::FromHandle(self))) {
                    window->BringToFront();
                }
            });
    }
    if (m_notifier) {
        m_notifier->Notify("Tolvar for PlayStation2", text);
    }
}

} // namespace tolvar
