// The floor for the program's start-up: plain Xlib mapping a borderless
// 700 x 494 window centred on the screen and putting one image into it, then
// staying until it is killed (so its idle cost can be read too).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const int screen = DefaultScreen(display);
    constexpr int kWidth = 700;
    constexpr int kHeight = 494;
    const int x = (DisplayWidth(display, screen) - kWidth) / 2;
    const int y = (DisplayHeight(display, screen) - kHeight) / 2;

    XSetWindowAttributes attributes{};
    attributes.override_redirect = False;
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), x, y, kWidth, kHeight, 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWEventMask, &attributes);
    XStoreName(display, window, "floor");
    XMapWindow(display, window);

    // One image the size of the window, a colour the bench looks for.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight, 0x123456);
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels.data()), kWidth, kHeight, 32, 0);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            XPutImage(display, window, gc, image, 0, 0, 0, 0, kWidth, kHeight);
            XFlush(display);
        }
    }
}
