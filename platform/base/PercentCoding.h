#pragma once

#include <string>
#include <string_view>

// Percent-encoding as addresses, file URIs, trash entries and form values use
// it: one rule for every part that reads or writes them.
namespace tolvar {

// The value of one hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

enum class PlusIsSpace
{
    No,
    Yes, // form values and query strings
};

// "%XX" becomes its byte; a "%" not followed by two hexadecimal digits stays
// as it is, so a stray one in a name is kept rather than lost.
std::string PercentDecode(std::string_view text, PlusIsSpace plus = PlusIsSpace::No);

// Every byte but the ASCII letters, digits, "-._~" and those in `keep`
// becomes "%XX" with upper-case digits.
std::string PercentEncode(std::string_view text, std::string_view keep = {});

} // namespace tolvar
