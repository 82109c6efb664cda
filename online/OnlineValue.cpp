#include "online/OnlineValue.h"

#include "platform/base/PercentCoding.h"

#include <climits>

namespace tolvar {

std::string DecodeOnlineValue(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (value.compare(i, 3, "%2E") == 0) {
                out += '.';
            }
            i += 2; // past the two bytes that follow, or past the end
        } else {
            out += c;
        }
    }
    return out;
}

std::string DecodeOnlineName(const std::string& name)
{
    return PercentDecode(name, PlusIsSpace::Yes);
}

int ParseDecimal(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value < INT_MIN ? INT_MIN : value);
}

} // namespace tolvar
