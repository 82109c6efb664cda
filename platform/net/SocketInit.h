#pragma once

namespace tolvar::net {

// Starts the network library for the whole process (AfxSocketInit); false
// when it cannot start. Safe to call more than once.
bool AfxSocketInit();

// Loads the HTTP library on a thread of its own, so that the settings page
// at start does not wait for the library and the thirty it needs to load.
void LoadHttpLibraryInBackground();

} // namespace tolvar::net
