#pragma once

namespace tolvar {

// The scroll-information record, laid out as the platform's is (28 bytes),
// and the notification codes carried in the low word of WM_VSCROLL.
struct ScrollInfo
{
    unsigned cbSize = sizeof(ScrollInfo);
    unsigned fMask = 0;
    int nMin = 0;
    int nMax = 0;
    unsigned nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
static_assert(sizeof(ScrollInfo) == 28);

enum : unsigned
{
    SIF_RANGE = 0x1,
    SIF_PAGE = 0x2,
    SIF_POS = 0x4,
    SIF_TRACKPOS = 0x10
};
enum : unsigned
{
    SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS,
};
enum : unsigned
{
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
};

} // namespace tolvar
