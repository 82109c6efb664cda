#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace tolvar::bench {

// One pixel of the root window, as 0xRRGGBB; 0 when it cannot be read.
inline std::uint32_t ScreenPixel(Display* display, int x, int y)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    const std::uint32_t pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// Polls a screen pixel until it shows colour (or, with `equal` false,
// anything else), for at most ten seconds.
inline bool WaitForPixel(Display* display, int x, int y, std::uint32_t colour, bool equal = true)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if ((ScreenPixel(display, x, y) == colour) == equal) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

} // namespace tolvar::bench
