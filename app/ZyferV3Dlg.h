#pragma once

#include "app/TrayIcon.h"
#include "online/DownloadJob.h"
#include "online/OnlineTree.h"
#include "online/OnlineTreeHost.h"
#include "online/UploadJob.h"
#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"
#include "platform/fs/VolumeWatcher.h"
#include "platform/gfx/Bitmap.h"
#include "platform/shell/DesktopNotifier.h"
#include "platform/shell/TrashWatcher.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/ToolTip.h"
#include "storage/LocalTree.h"
#include "storage/LocalTreeHost.h"
#include "treeview/FileTree.h"
#include "widgets/ActivityBar.h"
#include "widgets/HoverButton.h"
#include "widgets/Label.h"
#include "widgets/SkinScrollBar.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvar {

// What a volume broadcast of WM_DEVICECHANGE carries (DEV_BROADCAST_VOLUME).
struct DevBroadcastVolume
{
    std::uint32_t size = sizeof(DevBroadcastVolume);
    std::uint32_t deviceType = 0; // 2: a logical volume
    std::uint32_t reserved = 0;
    std::uint32_t unitMask = 0; // bit n: drive letter 'A' + n
    std::uint16_t flags = 0;
};

// The main window: a borderless skinned dialog with the Local Tree on the
// left and the Online Tree on the right, four hover buttons, two activity
// bars, the logo that lights while a save drive is present, balloon tips
// over the trees and the notification-area icon. The trees reach it through
// typed calls (LocalTreeHost, OnlineTreeHost); jobs report to it with the
// application messages (ZyferV3DlgMessages.cpp). Each user flow that
// crosses the window is told whole in its own file under app/flows/.
class CZyferV3Dlg : public ui::Dialog, private LocalTreeHost, private OnlineTreeHost
{
public:
    static constexpr int IDD = 102;

    using LocalTree = CLocalTree;
    using OnlineTree = COnlineTree;

    enum : unsigned
    {
        kLocalTreeId = 1000,
        kOnlineTreeId = 1001,
        kOnlineScrollBarId = 1007,
        kLocalScrollBarId = 1008,
        kWebButtonId = 1009,
        kExitButtonId = 1010,
        kSleepButtonId = 1011,
        kCodeListButtonId = 1017,
        kLeftBarId = 1018,
        kRightBarId = 1019,
        kLogoId = 1020,
        kTrayIconId = 160,
        kTrayPictureId = 159,
        kAppIconId = 195,
        kTimerId = 0,
        kTimerMs = 200,
        kAboutCommand = 0x0010,
        kShowHideCommand = 0x8009,
        kWebSiteCommand = 0x8008,
        kCodeListAllCommand = 0x800F,
        ID_HELP = 0xE146,
        SC_MINIMIZE = 0xF020,
        SC_CLOSE = 0xF060,
        DBT_DEVICEARRIVAL = 0x8000,
        DBT_DEVICEREMOVECOMPLETE = 0x8004,
        DBT_DEVTYP_VOLUME = 2,
    };
    // The volume watcher's thread posts this with (event, unit mask); the
    // handler on the window's thread turns it into WM_DEVICECHANGE.
    static constexpr unsigned kVolumeChangedMessage = ui::WM_USER + 0x60;
    // Posted by the trash watcher's thread after another program changed the trash.
    static constexpr unsigned kTrashChangedMessage = ui::WM_USER + 0x61;

    CZyferV3Dlg();
    ~CZyferV3Dlg() override;

    // The window's parts, for the program's tests and tools.
    LocalTree* GetLocalTree() const { return m_localTree.get(); }
    OnlineTree* GetOnlineTree() const { return m_onlineTree.get(); }
    CActivityBar& LeftBar() { return m_leftBar; }
    CActivityBar& RightBar() { return m_rightBar; }
    CTrayIcon& TrayIcon() { return m_trayIcon; }
    CLabel& LogoPanel() { return m_logoPanel; }
    const ui::ToolTip& TreeToolTip() const { return m_treeToolTip; }
    UploadJob& GetUploadJob() { return m_uploadJob; }
    bool IsHiddenBySleep() const { return m_hidden; }
    bool IsLogoLit() const { return m_logoLit; }
    bool IsLogoBlinking() const { return m_logoBlinking; }

    // The maker's web site: the home page of the server the settings page
    // comes from.
    static std::string VendorSiteAddress();

    bool PreTranslateMessage(ui::Message& message) override;
    ui::AccessibleInfo Describe() const override; // the program's frame

    // Saves handed to the program (its command line, a later start), as
    // POSIX paths: each valid one is copied into "Saves", and the window
    // comes to the front with that folder open (ZyferV3DlgDesktop.cpp).
    void OpenSaves(const std::vector<std::string>& paths);
    // Shows the window again when it slept or was minimised, and raises it.
    void BringToFront();
    // While the window sleeps or is minimised, tells the user the end of a
    // job by a desktop notification; nothing while it is shown. UI thread.
    void NoticeIfAway(const std::string& text) override;
    // Whether the Local Tree lists a file of a location (folder as named).
    bool IsListed(const std::string& folder, const std::string& fileName) const;
    // Asked once the controls are made, before the window touches drives,
    // folders or the tray: false ends it unseen (another instance runs).
    void SetMayAct(std::function<bool()> mayAct) { m_mayAct = std::move(mayAct); }

protected:
    // The trees, each built over its scroll bar; the Local and Online Trees
    // take these places.
    std::unique_ptr<LocalTree> MakeLocalTree(CSkinScrollBar* scrollBar);
    static std::unique_ptr<OnlineTree> MakeOnlineTree(CSkinScrollBar* scrollBar);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnDestroy() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnLButtonDown(unsigned flags, gfx::Point point) override;
    void OnLButtonUp(unsigned flags, gfx::Point point) override;
    void OnLButtonDblClk(unsigned flags, gfx::Point point) override;
    void OnMouseMove(unsigned flags, gfx::Point point) override;
    void OnRButtonUp(unsigned flags, gfx::Point point) override;
    void OnTimer(unsigned id) override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;
    LResult OnMessage(unsigned message, WParam wParam, LParam lParam) override;

private:
    // What the trees ask of their window: each is a step of a flow, in
    // app/flows/DownloadFlow.cpp, UploadFlow.cpp and CodeListFlow.cpp.
    void DownloadSave(const OnlineSaveDrag& save, const std::string& folder) override;
    bool IsDownloadingTo(const std::string& folder) const override;
    void UploadSave(const LocalSaveDrag& save) override;
    std::string GetCodeListUrl() const override;

    // The jobs report to this window by sending it messages.
    class WindowTarget final : public MessageTarget
    {
    public:
        explicit WindowTarget(CZyferV3Dlg& owner) : m_owner(owner) {}
        LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override;

    private:
        CZyferV3Dlg& m_owner;
    };

    // Application messages (ZyferV3DlgMessages.cpp): each is read there and
    // handed on typed, to the flow it ends or to the bars and trees.
    bool OnApplicationMessage(unsigned message, WParam wParam, LParam lParam, LResult& result);
    // The ends of the flows (app/flows/).
    void OnDownloadDone(const std::string& path);
    void OnDownloadFailed(const std::string& temporaryPath, const char* text);
    void OnUploadDone();
    void OnCodeListDone();
    void OnDrivePresence(bool present);
    LResult OnDeviceChange(WParam eventType, LParam broadcast);

    void OnCodeListButton();
    void ShowHideToggle();
    void OpenVendorSite();
    void ShowVersionBox();
    void ShowSystemMenu(gfx::Point screen);
    void OnSysCommand(unsigned command);
    void ShowLogo(bool lit);
    bool InTree(gfx::Point screen) const;
    bool TipRowLeft() const;
    void StartVolumeWatcher();
    void StartTrashWatcher();
    void OnTrashChanged();

    gfx::Bitmap m_icon;
    CSkinScrollBar m_localScrollBar;
    std::unique_ptr<LocalTree> m_localTree;
    CSkinScrollBar m_onlineScrollBar;
    std::unique_ptr<OnlineTree> m_onlineTree;
    unsigned m_localFileFormat = 0;
    unsigned m_onlineFileFormat = 0;
    std::string m_downloadFolder; // where the running download writes
    gfx::Bitmap m_background;
    CHoverButton m_sleepButton;
    CHoverButton m_webButton;
    CHoverButton m_exitButton;
    CHoverButton m_codeListButton;
    CTrayIcon m_trayIcon;
    bool m_hidden = false;
    bool m_dragging = false;
    int m_dragOffsetX = 0;
    int m_dragOffsetY = 0;
    CActivityBar m_leftBar;
    CActivityBar m_rightBar;
    gfx::Bitmap m_logoLitPicture;
    gfx::Bitmap m_logoDimPicture;
    bool m_tipShown = false;
    CFileTree* m_tipTree = nullptr; // the tree and row the shown tip speaks of
    TreeItem* m_tipItem = nullptr;
    ui::ToolTip m_treeToolTip;
    CLabel m_logoPanel;
    bool m_logoLit = false;
    bool m_logoBlinking = false;
    bool m_closing = false; // from OnDestroy on, no job's message starts anything
    WindowTarget m_windowTarget{*this};
    // After the trees: destroyed (and so ended) before them.
    DownloadJob m_downloadJob{m_windowTarget};
    UploadJob m_uploadJob;
    std::unique_ptr<shell::DesktopNotifier> m_notifier; // made when first needed
    bool m_painted = false;
    std::function<bool()> m_mayAct;
    // Last, so they stop (and their threads post nothing more) first.
    std::unique_ptr<shell::TrashWatcher> m_trashWatcher;
    std::unique_ptr<fs::VolumeWatcher> m_volumeWatcher;
};

} // namespace tolvar
