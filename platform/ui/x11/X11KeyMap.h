#pragma once

namespace tolvar::ui {

// What an X key event means to the window system: the modifiers held, the
// virtual key of a key symbol (0: none of ours) and the character it types.
unsigned Modifiers(unsigned state);
unsigned VirtualKey(unsigned long keySym);
char32_t KeyCharacter(unsigned long keySym, const char* buffer, int length);

} // namespace tolvar::ui
