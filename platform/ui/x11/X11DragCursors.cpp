#include "platform/ui/x11/X11DragCursors.h"

#include <X11/Xlib.h>

#include <vector>

namespace tolvar::ui {
namespace {

// The drag cursors, drawn here: an arrow with a badge, a plus in a box for
// copy and a barred circle for refused. '#' is black, '.' white, ' ' clear;
// the hot spot is the arrow's tip at (0, 0).
constexpr int kDragCursorSize = 24;
using CursorArt = const char* const[kDragCursorSize];

// clang-format off
CursorArt kCopyCursor = {
    "#                       ",
    "##                      ",
    "#.#                     ",
    "#..#                    ",
    "#...#                   ",
    "#....#                  ",
    "#.....#                 ",
    "#......#                ",
    "#.......#               ",
    "#........#              ",
    "#.....#####             ",
    "#..#..#                 ",
    "#.# #..#   ###########  ",
    "##  #..#   #.........#  ",
    "#    #..#  #....#....#  ",
    "     #..#  #....#....#  ",
    "      ##   #....#....#  ",
    "           #.#######.#  ",
    "           #....#....#  ",
    "           #....#....#  ",
    "           #....#....#  ",
    "           #.........#  ",
    "           ###########  ",
    "                        ",
};
// clang-format on

// clang-format off
CursorArt kRefusedCursor = {
    "#                       ",
    "##                      ",
    "#.#                     ",
    "#..#                    ",
    "#...#                   ",
    "#....#                  ",
    "#.....#                 ",
    "#......#                ",
    "#.......#               ",
    "#........#              ",
    "#.....#####             ",
    "#..#..#        ...      ",
    "#.# #..#     .#####.    ",
    "##  #..#    .#######.   ",
    "#    #..#  .###....##.  ",
    "     #..#  #####....##  ",
    "      ##  .##.###...##. ",
    "          .##..###..##. ",
    "          .##...###.##. ",
    "           ##....#####  ",
    "           .##....###.  ",
    "            .#######.   ",
    "             .#####.    ",
    "               ...      ",
};
// clang-format on

unsigned long MakeCursorFromArt(Display* display, CursorArt art)
{
    constexpr int kStride = (kDragCursorSize + 7) / 8;
    std::vector<char> source(kStride * kDragCursorSize, 0);
    std::vector<char> mask(kStride * kDragCursorSize, 0);
    for (int y = 0; y < kDragCursorSize; ++y) {
        for (int x = 0; x < kDragCursorSize && art[y][x] != '\0'; ++x) {
            const char c = art[y][x];
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
    return MakeCursorFromArt(display, cursor == DragCursor::Copy ? kCopyCursor : kRefusedCursor);
}

} // namespace tolvar::ui
