#pragma once

namespace tolvar::ui {

// Loads the ATK bridge and GIO, once; false when either is missing, and then
// none of their functions may be called.
bool LoadAccessLibraries();

} // namespace tolvar::ui
