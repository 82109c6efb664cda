#pragma once

#include <string_view>

namespace tolvar {

// Letters A-Z folded to lower case, then bytes compared as unsigned values:
// the order of every sorted list of the program (the catalogue, the online
// folders, the server's lists), so an underscore sorts before the letters.
inline int CompareNoCase(std::string_view left, std::string_view right)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const std::size_t n = left.size() < right.size() ? left.size() : right.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int a = lower(static_cast<unsigned char>(left[i]));
        const int b = lower(static_cast<unsigned char>(right[i]));
        if (a != b) {
            return a - b;
        }
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

} // namespace tolvar
