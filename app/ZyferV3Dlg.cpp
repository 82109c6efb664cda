#include "app/ZyferV3Dlg.h"

#include "app/AboutDlg.h"
#include "app/ProgramFolder.h"
#include "app/StartupTimes.h"
#include "app/upload/UploadDlg.h"
#include "messages/AppMessages.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/gfx/Font.h"
#include "platform/shell/ShellExecute.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/WindowSystem.h"
#include "resources/Resources.h"
#include "resources/StringResources.h"
#include "widgets/AutoLoad.h"
#include "widgets/MessageBox.h"

#include <cstdio>

namespace tolvar {

namespace {

// The blink is process-wide: every tick of every window counts on it.
unsigned g_tickCounter = 0;
bool g_blinkPhase = false;

constexpr gfx::Color kTipBackground = gfx::Rgb(1, 23, 64);
constexpr gfx::Color kTipText = gfx::Rgb(153, 182, 235);

} // namespace

CZyferV3Dlg::CZyferV3Dlg()
    : m_icon(LoadIconResource(kAppIconId)),
      m_localScrollBar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132),
      m_localTree(MakeLocalTree(&m_localScrollBar)),
      m_onlineScrollBar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132),
      m_onlineTree(MakeOnlineTree(&m_onlineScrollBar)), m_background(LoadBitmapResource(148)),
      m_sleepButton("SLEEPU", "SLEEPH", "SLEEPD", nullptr),
      m_webButton("WEBU", "WEBH", "WEBD", nullptr),
      m_exitButton("EXITU", "EXITH", "EXITD", nullptr),
      m_codeListButton("BTNCODELISTU", "BTNCODELISTH", "BTNCODELISTD", nullptr),
      m_trayIcon(kTrayIconId), m_leftBar(0, 136, 198, 197), m_rightBar(510, 136, 196, 199),
      m_uploadJob(&m_windowTarget,
                  [this](UploadFormFields& fields) { return RunUploadDlg(Handle(), fields); })
{
    // Opened at its picture's size, so that it is centred as it will be shown.
    if (!m_background.IsNull()) {
        SetInitialSize(m_background.GetSize());
    }
}

CZyferV3Dlg::~CZyferV3Dlg()
{
    // The settings page read at start may yet post its message to the window
    // system, which goes after the window: the read ends first.
    TheServerSettings().IsLoaded();
}

std::unique_ptr<CZyferV3Dlg::LocalTree> CZyferV3Dlg::MakeLocalTree(CSkinScrollBar* scrollBar)
{
    LocalTreeHost* host = this;
    return std::make_unique<LocalTree>(scrollBar, host, GetProgramFolder());
}

std::unique_ptr<CZyferV3Dlg::OnlineTree> CZyferV3Dlg::MakeOnlineTree(CSkinScrollBar* scrollBar)
{
    return std::make_unique<OnlineTree>(scrollBar, 165, 144, 143);
}

LResult CZyferV3Dlg::WindowTarget::SendAppMessage(unsigned message, WParam wParam, LParam lParam)
{
    return ui::SendMessage(m_owner.Handle(), message, wParam, lParam);
}

std::string CZyferV3Dlg::VendorSiteAddress()
{
    // scheme://host[:port]/ of the settings page.
    const std::string page = TheServerSettings().GetPageAddress();
    const std::size_t scheme = page.find("://");
    const std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t path = page.find('/', hostStart);
    return (path == std::string::npos ? page : page.substr(0, path)) + "/";
}

ui::AccessibleInfo CZyferV3Dlg::Describe() const
{
    ui::AccessibleInfo info = Dialog::Describe();
    info.role = ui::AccessibleRole::Frame;
    return info;
}

bool CZyferV3Dlg::OnInitDialog()
{
    // The logo panel and the bars stand where the template's statics would be bound.
    m_logoPanel.Create(this, gfx::Rect::FromSize(252, 0, 197, 131), kLogoId);
    m_leftBar.Create(*this, kLeftBarId);
    m_rightBar.Create(*this, kRightBarId);
    m_leftBar.SetAccessibleName("Local activity");
    m_rightBar.SetAccessibleName("Online activity");
    m_logoPanel.SetAccessibleName("Logo");

    // Every message box of the program opens over this window.
    CMessageBox::SetOwner(Handle());

    m_tipShown = false;
    m_treeToolTip.Create(this, ui::ToolTip::Style::Balloon);
    m_treeToolTip.SetDelayTime(ui::TTDT_AUTOMATIC, 1000);
    m_treeToolTip.SetDelayTime(ui::TTDT_AUTOPOP, 48032);
    m_treeToolTip.SetDelayTime(ui::TTDT_INITIAL, 500);
    m_treeToolTip.SetDelayTime(ui::TTDT_RESHOW, 500);
    m_treeToolTip.SetTipBkColor(kTipBackground);
    m_treeToolTip.SetTipTextColor(kTipText);

    m_logoLitPicture = LoadBitmapResource(206);
    m_logoDimPicture = LoadBitmapResource(205);

    SetWindowText("Tolvar for PlayStation2");
    SetTitle(GetWindowText());

    m_webButton.SetAccessibleName("Web Site"); // as the button reads
    m_sleepButton.SetAccessibleName("Sleep");
    m_exitButton.SetAccessibleName("Exit");
    m_codeListButton.SetAccessibleName("Code List");
    AutoLoad(m_webButton, *this, kWebButtonId, "WEB", {42, 17});
    m_webButton.LoadPictures();
    AutoLoad(m_sleepButton, *this, kSleepButtonId, "SLEEP", {526, 51});
    m_sleepButton.LoadPictures();
    AutoLoad(m_exitButton, *this, kExitButtonId, "EXIT", {526, 17});
    m_exitButton.LoadPictures();
    AutoLoad(m_codeListButton, *this, kCodeListButtonId, "BTNCODELIST", {42, 51});
    m_codeListButton.LoadPictures();

    // The system menu's About item is added when the menu opens (ShowSystemMenu).
    SetIcon(m_icon);

    m_localScrollBar.Create(kLocalScrollBarId, this, m_localTree.get(), 323, 169);
    m_onlineScrollBar.Create(kOnlineScrollBarId, this, m_onlineTree.get(), 659, 169);

    m_localTree->CreateTree(this, {30, 170}, kLocalTreeId, "Local Tree");
    m_localTree->RegisterDropTarget();
    m_onlineTree->CreateTree(this, {366, 170}, kOnlineTreeId, "Online Tree");
    m_onlineTree->RegisterDropTarget();
    m_onlineTree->SetHost(this);
    // Tab goes round the four buttons and the two trees, in the order they were made.
    for (ui::Window* stop : std::initializer_list<ui::Window*>{
             &m_webButton, &m_sleepButton, &m_exitButton, &m_codeListButton, m_localTree.get(),
             m_onlineTree.get()}) {
        stop->SetTabStop(true);
    }

    m_localFileFormat = ui::RegisterClipboardFormat("ZyferLocalFile");
    m_onlineFileFormat = ui::RegisterClipboardFormat("ZyferOnlineFile");
    m_localTree->SetLocalClipboardFormat(m_localFileFormat);
    m_localTree->SetOnlineClipboardFormat(m_onlineFileFormat);
    m_onlineTree->SetClipboardFormats(m_localFileFormat, m_onlineFileFormat);

    if (!m_background.IsNull()) {
        SetWindowSize(m_background.GetSize());
    }
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40), false);

    MarkStartupStep("controls");
    if (m_mayAct && !m_mayAct()) {
        EndDialog(0);
        return false;
    }
    m_hidden = false;

    // The drives show collapsed: their saves are read once the first frame is up.
    m_localTree->FillTree(true);
    MarkStartupStep("drive scans");
    m_onlineTree->CreateRoot();

    m_webButton.SetWindowPos({42, 17});
    m_codeListButton.SetWindowPos({42, 51});
    m_exitButton.SetWindowPos({526, 17});
    m_sleepButton.SetWindowPos({526, 51});

    m_leftBar.Initialise();
    m_rightBar.Initialise();

    m_logoPanel.SetWindowPos({252, 0});

    for (CFileTree* tree : {static_cast<CFileTree*>(m_localTree.get()),
                            static_cast<CFileTree*>(m_onlineTree.get())}) {
        m_treeToolTip.AddTool(tree, [this](ui::Window& tool, gfx::Point client) {
            // Answered from the pointer's place in the tree that asks.
            auto& fileTree = static_cast<CFileTree&>(tool);
            std::string text = fileTree.GetToolTipBuffer(client);
            m_tipShown = true;
            m_tipTree = &fileTree;
            m_tipItem = fileTree.HitTest(client.x, client.y);
            return text;
        });
        m_treeToolTip.SetMaxTipWidth(300);
    }

    SetTimer(kTimerId, kTimerMs);
    StartVolumeWatcher();
    StartTrashWatcher();
    // The first frame needs no address, so the page is read once that frame
    // is on the screen (or someone asks for an address): loading libcurl
    // beside it would share the processor with it and, while it runs, keep
    // any other thread from starting. Whether the remembered fonts are still
    // the ones waits for the frame too.
    TheServerSettings().StartLoad(
        [](const std::string& message) {
            ui::PostTask([message] { AfxMessageBox(message, MB_OK); });
        },
        true);
    // The notification-area icon too: asking for the tray is a round trip to
    // the server, which would wait for all the window's set-up before it.
    ui::AfterFirstFrame([window = Handle()] {
        if (auto* dialog = dynamic_cast<CZyferV3Dlg*>(ui::Window::FromHandle(window))) {
            dialog->m_trayIcon.SetNotificationWnd(window, WM_TRAY_NOTIFY);
            dialog->m_trayIcon.SetIcon(kTrayPictureId);
            dialog->m_localTree->ListLaterEntries();
        }
        // The fonts' thread is made before the settings' thread loads
        // libcurl: while a library loads, making a thread waits for it.
        gfx::Font::CheckRememberedMatches();
        TheServerSettings().Release();
    });
    MarkStartupStep("initialised");
    return true;
}

// Enter has no button to press in this window; it must not end the program.
void CZyferV3Dlg::OnOK() {}

void CZyferV3Dlg::OnDestroy()
{
    // The watcher's thread stops before the window it posts to is gone.
    // Every job is cancelled, so none shows or starts anything more, and
    // then waited for (what it asks meanwhile is served) before the trees
    // it reports to go.
    m_volumeWatcher.reset();
    m_trashWatcher.reset();
    m_closing = true;
    m_uploadJob.Cancel();
    m_downloadJob.Cancel();
    m_onlineTree->CancelJobs();
    m_localTree->CancelJobs();
    m_uploadJob.Wait();
    m_downloadJob.Wait();
    m_onlineTree->WaitForJobs();
    m_localTree->WaitForJobs();
    CMessageBox::SetOwner(kNoWindow);
    KillTimer(kTimerId);
    m_trayIcon.RemoveIcon();
    ui::Dialog::OnDestroy();
}

void CZyferV3Dlg::OnPaint(gfx::Painter& painter)
{
    if (!m_painted) {
        m_painted = true;
        MarkStartupStep("first paint");
    }
    painter.DrawBitmap({0, 0}, m_background);
}

// The logo panel shows its picture or nothing: the background stays visible.
void CZyferV3Dlg::OnCtlColor(ui::Window&, ui::CtlColorKind, ui::ControlColors& colors)
{
    colors.mode = gfx::BackgroundMode::Transparent;
    colors.text = gfx::Rgb(235, 235, 235);
    colors.brush = gfx::Brush::Hollow();
}

bool CZyferV3Dlg::InTree(gfx::Point screen) const
{
    for (const ui::Window* tree : {static_cast<const ui::Window*>(m_localTree.get()),
                                   static_cast<const ui::Window*>(m_onlineTree.get())}) {
        if (tree->IsWindow() && tree->ClientRectToScreen(tree->GetClientRect()).Contains(screen)) {
            return true;
        }
    }
    return false;
}

void CZyferV3Dlg::OnLButtonDown(unsigned, gfx::Point point)
{
    const gfx::Point screen = ClientToScreen(point);
    if (InTree(screen)) {
        return;
    }
    const gfx::Rect window = GetWindowRect();
    m_dragging = true;
    m_dragOffsetX = screen.x - window.left;
    m_dragOffsetY = screen.y - window.top;
    SetCapture();
}

void CZyferV3Dlg::OnMouseMove(unsigned, gfx::Point point)
{
    if (m_dragging) {
        const gfx::Point screen = ClientToScreen(point);
        SetWindowPos({screen.x - m_dragOffsetX, screen.y - m_dragOffsetY});
    }
}

void CZyferV3Dlg::OnLButtonUp(unsigned, gfx::Point)
{
    if (m_dragging) {
        m_dragging = false;
        ReleaseCapture();
    }
}

void CZyferV3Dlg::OnLButtonDblClk(unsigned, gfx::Point point)
{
    if (m_logoPanel.GetWindowRect().Contains(ClientToScreen(point))) {
        ShowVersionBox();
    }
}

void CZyferV3Dlg::OnRButtonUp(unsigned, gfx::Point point)
{
    const gfx::Point screen = ClientToScreen(point);
    if (!InTree(screen)) {
        ShowSystemMenu(screen);
    }
}

bool CZyferV3Dlg::PreTranslateMessage(ui::Message& message)
{
    // Alt+Space opens the system menu at the window's corner, as a caption would.
    if (message.message == ui::WM_KEYDOWN && message.wParam == ui::VK_SPACE &&
        ui::IsKeyDown(ui::VK_MENU)) {
        const gfx::Rect window = GetWindowRect();
        ShowSystemMenu({window.left + 24, window.top + 24});
        return true;
    }
    // The logo and the bars are plain pictures: the mouse goes through them
    // to the window's body, as through statics without the notify style.
    const bool mouse = message.message == ui::WM_LBUTTONDOWN ||
                       message.message == ui::WM_LBUTTONUP ||
                       message.message == ui::WM_LBUTTONDBLCLK ||
                       message.message == ui::WM_MOUSEMOVE || message.message == ui::WM_RBUTTONUP;
    if (mouse && (message.window == m_logoPanel.Handle() || message.window == m_leftBar.Handle() ||
                  message.window == m_rightBar.Handle())) {
        const gfx::Point client = ScreenToClient(message.screenPoint);
        WindowProc(message.message, message.wParam, ui::MakePointLParam(client.x, client.y));
        return true;
    }
    return ui::Dialog::PreTranslateMessage(message);
}

void CZyferV3Dlg::ShowSystemMenu(gfx::Point screen)
{
    ui::PopupMenu menu;
    menu.AppendMenu(ui::MF_STRING | ui::MF_GRAYED, 0xF120, "&Restore");
    menu.AppendMenu(ui::MF_STRING, SC_MINIMIZE, "Mi&nimize");
    menu.AppendMenu(ui::MF_STRING, SC_CLOSE, "&Close");
    const std::string about = LoadStringResource(101);
    if (!about.empty()) {
        menu.AppendMenu(ui::MF_SEPARATOR);
        menu.AppendMenu(ui::MF_STRING, kAboutCommand, about);
    }
    const unsigned command = menu.TrackPopupMenu(ui::TPM_RETURNCMD, screen, this);
    if (command != 0) {
        OnSysCommand(command);
    }
}

void CZyferV3Dlg::OnSysCommand(unsigned command)
{
    switch (command & 0xFFF0) {
    case kAboutCommand: {
        CAboutDlg about;
        about.DoModal(this);
        break;
    }
    case SC_MINIMIZE:
        ShowWindow(ui::ShowCommand::Minimize);
        break;
    case SC_CLOSE:
        OnCancel();
        break;
    default:
        break;
    }
}

bool CZyferV3Dlg::TipRowLeft() const
{
    if (m_tipTree == nullptr || !m_tipTree->IsWindow() || !m_treeToolTip.IsShown()) {
        return true;
    }
    const gfx::Point screen = ui::Window::GetCursorPos();
    if (ui::Window::WindowFromPoint(screen) != m_tipTree) {
        return true;
    }
    const gfx::Point client = m_tipTree->ScreenToClient(screen);
    return m_tipTree->HitTest(client.x, client.y) != m_tipItem;
}

void CZyferV3Dlg::ShowLogo(bool lit)
{
    m_logoPanel.SetBitmap(lit ? m_logoLitPicture : m_logoDimPicture);
    m_logoPanel.RedrawWindow();
}

void CZyferV3Dlg::OnTimer(unsigned id)
{
    if (id != kTimerId) {
        return;
    }
    // A tree is one tool, so once the pointer is over another row its tip
    // goes and the tree is asked again; over its own row it stays to be read.
    if (m_tipShown && TipRowLeft()) {
        m_treeToolTip.Update();
        m_tipShown = false;
    }
    if (g_tickCounter == 0) {
        g_blinkPhase = true;
    }
    ++g_tickCounter;
    if (m_logoBlinking) {
        if (g_tickCounter < 8) {
            g_blinkPhase = !g_blinkPhase;
            ShowLogo(g_blinkPhase);
        } else {
            m_logoBlinking = false;
            g_tickCounter = 0;
            ShowLogo(m_logoLit);
        }
    }
    if (g_tickCounter > 7) {
        g_tickCounter = 0;
    }
}

bool CZyferV3Dlg::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    switch (id) {
    case kWebButtonId:
    case kWebSiteCommand:
        OpenVendorSite();
        return true;
    case kSleepButtonId:
    case kShowHideCommand:
        ShowHideToggle();
        return true;
    case kExitButtonId:
        OnCancel();
        return true;
    case kCodeListButtonId:
        OnCodeListButton();
        return true;
    case ID_HELP:
        return true;
    default:
        return ui::Dialog::OnCommand(id, code, from);
    }
}

void CZyferV3Dlg::OpenVendorSite()
{
    shell::ShellOpen(VendorSiteAddress());
}

void CZyferV3Dlg::ShowHideToggle()
{
    if (!m_hidden) {
        // Hidden with no icon to bring it back, the window would be lost to
        // the user while the program runs on: without one it only minimises.
        ShowWindow(m_trayIcon.IsShown() ? ui::ShowCommand::Hide : ui::ShowCommand::Minimize);
        m_hidden = true;
    } else {
        ShowWindow(ui::ShowCommand::Restore);
        m_hidden = false;
        BringWindowToTop();
    }
}

void CZyferV3Dlg::ShowVersionBox()
{
    char text[64];
    std::snprintf(text, sizeof text, "Tolvar for PC Version %.1fUS", 1.1);
    AfxMessageBox(text, MB_OK);
}

LResult CZyferV3Dlg::OnMessage(unsigned message, WParam wParam, LParam lParam)
{
    LResult result = 0;
    if (OnApplicationMessage(message, wParam, lParam, result)) {
        return result;
    }
    switch (message) {
    case ui::WM_SYSCOMMAND:
        OnSysCommand(static_cast<unsigned>(wParam));
        return 0;
    case ui::WM_DEVICECHANGE:
        return OnDeviceChange(wParam, lParam);
    case kTrashChangedMessage:
        OnTrashChanged();
        return 0;
    case kVolumeChangedMessage: {
        DevBroadcastVolume volume;
        volume.deviceType = DBT_DEVTYP_VOLUME;
        volume.unitMask = static_cast<std::uint32_t>(lParam);
        return OnDeviceChange(wParam, reinterpret_cast<LParam>(&volume));
    }
    default:
        return ui::Dialog::OnMessage(message, wParam, lParam);
    }
}

} // namespace tolvar
