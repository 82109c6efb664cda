#pragma once

#include <cstdio>
#include <cstdlib>

namespace tolvar::fuzz {

// A broken invariant counts as a finding, like a crash: libFuzzer keeps the
// input that broke it.
inline void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace tolvar::fuzz
