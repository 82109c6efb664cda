#pragma once

#include <string>

namespace tolvar {

// Decodes a name or description of the online documents: "+" is a space,
// "%2E" a full stop, any other "%" drops itself and the two bytes after it.
std::string DecodeOnlineValue(const std::string& value);

// Decodes a file name of a download address: "+" is a space and every
// "%" with two hex digits the byte they give; a "%" without them stays.
std::string DecodeOnlineName(const std::string& name);

// A decimal number as the C runtime's atoi reads it (leading blanks and a
// sign, digits up to the first other byte, 0 when none), held to int range.
int ParseDecimal(const std::string& text);

} // namespace tolvar
