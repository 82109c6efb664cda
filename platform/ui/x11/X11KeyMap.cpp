// X key symbols and modifier states turned into the window system's virtual
// keys, modifier flags and typed characters.
#include "platform/ui/x11/X11KeyMap.h"

#include "platform/ui/Backend.h"
#include "platform/ui/WindowMessages.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace tolvar::ui {

unsigned Modifiers(unsigned state)
{
    unsigned m = 0;
    if (state & ShiftMask) {
        m |= MK_SHIFT;
    }
    if (state & ControlMask) {
        m |= MK_CONTROL;
    }
    if (state & Mod1Mask) {
        m |= kAltModifier;
    }
    return m;
}

unsigned VirtualKey(unsigned long sym)
{
    if (sym >= XK_a && sym <= XK_z) {
        return static_cast<unsigned>(sym - XK_a + 'A');
    }
    if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9)) {
        return static_cast<unsigned>(sym);
    }
    if (sym >= XK_F1 && sym <= XK_F12) {
        return static_cast<unsigned>(VK_F1 + (sym - XK_F1));
    }
    switch (sym) {
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_space:
        return VK_SPACE;
    case XK_Prior:
    case XK_KP_Prior:
        return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next:
        return VK_NEXT;
    case XK_End:
    case XK_KP_End:
        return VK_END;
    case XK_Home:
    case XK_KP_Home:
        return VK_HOME;
    case XK_Left:
    case XK_KP_Left:
        return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
        return VK_UP;
    case XK_Right:
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
        return VK_DOWN;
    case XK_Insert:
    case XK_KP_Insert:
        return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete:
        return VK_DELETE;
    case XK_Menu:
        return VK_APPS;
    case XK_Shift_L:
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
        return VK_MENU;
    case XK_KP_Add:
        return VK_ADD;
    case XK_KP_Subtract:
        return VK_SUBTRACT;
    default:
        return 0;
    }
}

// The character a key types, if any: Latin-1 key symbols are their own code
// points, and 0x01000000 + n is U+n.
char32_t KeyCharacter(unsigned long sym, const char* buffer, int length)
{
    if (sym >= 0x20 && sym <= 0xFF) {
        return static_cast<char32_t>(sym);
    }
    if ((sym & 0xFF000000) == 0x01000000) {
        return static_cast<char32_t>(sym & 0x00FFFFFF);
    }
    if (length == 1 && static_cast<unsigned char>(buffer[0]) >= 0x20 &&
        static_cast<unsigned char>(buffer[0]) != 0x7F) {
        return static_cast<unsigned char>(buffer[0]);
    }
    return 0;
}

} // namespace tolvar::ui
