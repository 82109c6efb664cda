#pragma once

#include <string>
#include <string_view>

namespace tolvar {

// Text made safe to place in HTML or in the markup of a notification's body,
// between tags or inside a double-quoted attribute.
inline std::string EscapeMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace tolvar
