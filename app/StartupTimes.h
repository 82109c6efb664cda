#pragma once

namespace tolvar {

// With TOLVAR_STARTUP_TIMES=1, each call writes the step's name and the time
// since the first call to standard error, to see where start-up goes.
void MarkStartupStep(const char* step);

} // namespace tolvar
