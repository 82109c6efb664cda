#pragma once

#include <string>
#include <string_view>

namespace tolvar::gfx {

// The program's text is single-byte. A string that is valid UTF-8 (as Linux
// file names usually are) is read as UTF-8; anything else byte by byte as
// Windows-1252, the code page the saves and labels were written in.
bool IsValidUtf8(std::string_view text);
std::u32string DecodeText(std::string_view text);
std::u32string DecodeWindows1252(std::string_view text);
std::string EncodeUtf8(char32_t codePoint);
std::string EncodeUtf8(std::u32string_view text);

} // namespace tolvar::gfx
