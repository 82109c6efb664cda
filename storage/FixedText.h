#pragma once

#include <cctype>
#include <cstddef>
#include <cstring>

namespace tolvar {

// Records keep text in fixed arrays; a copy is cut to the array size minus
// one and always terminated.
template <std::size_t N> void CopyFixed(char (&destination)[N], const char* source)
{
    static_assert(N > 0);
    if (source == nullptr) {
        destination[0] = '\0';
        return;
    }
    const std::size_t n = strnlen(source, N - 1);
    std::memcpy(destination, source, n);
    destination[n] = '\0';
}

} // namespace tolvar
