#include "platform/ui/x11/X11DragCursors.h"

#include <X11/Xlib.h>

#include <iterator>
#include <string_view>
#include <vector>

namespace tolvar::ui {
namespace {

// The drag cursors, drawn here: the arrow they share, with a badge below and
// right of it, a plus in a box for copy and a barred circle for refused. '#'
// is black, '.' white, ' ' clear; the hot spot is the arrow's tip at (0, 0).
constexpr int kDragCursorSize = 24;
constexpr int kBadgeLeft = 10;
constexpr int kBadgeTop = 11;
constexpr int kBadgeRows = 13;
using BadgeArt = const char* const[kBadgeRows];

// clang-format off
constexpr const char* kArrow[] = {
    "#",
    "##",
    "#.#",
    "#..#",
    "#...#",
    "#....#",
    "#.....#",
    "#......#",
    "#.......#",
    "#........#",
    "#.....#####",
    "#..#..#",
    "#.# #..#",
    "##  #..#",
    "#    #..#",
    "     #..#",
    "      ##",
};

BadgeArt kCopyBadge = {
    "",
    " ###########",
    " #.........#",
    " #....#....#",
    " #....#....#",
    " #....#....#",
    " #.#######.#",
    " #....#....#",
    " #....#....#",
    " #....#....#",
    " #.........#",
    " ###########",
    "",
};

BadgeArt kRefusedBadge = {
    "     ...",
    "   .#####.",
    "  .#######.",
    " .###....##.",
    " #####....##",
    ".##.###...##.",
    ".##..###..##.",
    ".##...###.##.",
    " ##....#####",
    " .##....###.",
    "  .#######.",
    "   .#####.",
    "     ...",
};
// clang-format on

// The character of the cursor at (x, y): the badge's in its corner, else the
// arrow's; ' ' past the end of a row.
char ArtAt(const BadgeArt& badge, int x, int y)
{
    std::string_view row;
    if (y >= kBadgeTop && x >= kBadgeLeft) {
        row = badge[y - kBadgeTop];
        x -= kBadgeLeft;
    } else if (y < static_cast<int>(std::size(kArrow))) {
        row = kArrow[y];
    }
    return static_cast<std::size_t>(x) < row.size() ? row[static_cast<std::size_t>(x)] : ' ';
}

unsigned long MakeCursorFromArt(Display* display, const BadgeArt& badge)
{
    constexpr int kStride = (kDragCursorSize + 7) / 8;
    std::vector<char> source(kStride * kDragCursorSize, 0);
    std::vector<char> mask(kStride * kDragCursorSize, 0);
    for (int y = 0; y < kDragCursorSize; ++y) {
        for (int x = 0; x < kDragCursorSize; ++x) {
            const char c = ArtAt(badge, x, y);
            const std::size_t byte = static_cast<std::size_t>(y * kStride + x / 8);
            const char bit = static_cast<char>(1 << (x % 8));
            if (c == '#') {
                source[byte] = static_cast<char>(source[byte] | bit);
            }
            if (c != ' ') {
                mask[byte] = static_cast<char>(mask[byte] | bit);
            }
        }
    }
    const ::Window root = DefaultRootWindow(display);
    Pixmap sourceMap =
        XCreateBitmapFromData(display, root, source.data(), kDragCursorSize, kDragCursorSize);
    Pixmap maskMap =
        XCreateBitmapFromData(display, root, mask.data(), kDragCursorSize, kDragCursorSize);
    XColor black{}, white{};
    white.red = white.green = white.blue = 0xFFFF;
    Cursor cursor = XCreatePixmapCursor(display, sourceMap, maskMap, &black, &white, 0, 0);
    XFreePixmap(display, sourceMap);
    XFreePixmap(display, maskMap);
    return cursor;
}

} // namespace

unsigned long MakeDragCursor(Display* display, DragCursor cursor)
{
    return MakeCursorFromArt(display, cursor == DragCursor::Copy ? kCopyBadge : kRefusedBadge);
}

} // namespace tolvar::ui
