#pragma once

// Application messages sent to the main window by the jobs (and the drive
// presence by the location list). Workers send them synchronously, so each
// waits until the handler has run.
namespace tolvar {

constexpr unsigned WM_APP = 0x8000;
constexpr unsigned WM_APP_DOWNLOAD_DONE = 0x8002;
constexpr unsigned WM_APP_BUSY_START = 0x8003;
constexpr unsigned WM_APP_BUSY_STOP = 0x8005;
constexpr unsigned WM_APP_DOWNLOAD_INCOMPLETE = 0x8006;
constexpr unsigned WM_APP_CODELIST_DONE = 0x8008;
constexpr unsigned WM_APP_REFRESH_ONLINE = 0x8009;
constexpr unsigned WM_APP_DRIVE_PRESENT = 0x800A;
constexpr unsigned WM_APP_DRIVE_ABSENT = 0x800B;
constexpr unsigned WM_APP_DOWNLOAD_CORRUPT = 0x800C;
constexpr unsigned WM_APP_ONLINE_TREE_BUSY = 0x800D;
constexpr unsigned WM_APP_LOCAL_TREE_BUSY = 0x800E;
constexpr unsigned WM_TRAY_NOTIFY = 0x0464;

} // namespace tolvar
