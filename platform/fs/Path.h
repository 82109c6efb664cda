#pragma once

#include <cstddef>
#include <string>

namespace tolvar::fs {

// Longest path the program's fixed arrays hold, terminator included.
constexpr std::size_t kMaxPath = 260;

// Turns a program path (`E:\`, `Saves\x.tvd`, `\tmp\x`) into a POSIX path:
// a drive letter becomes the mount point of its volume, a leading `\` is the
// POSIX root, anything else is relative to the working directory, and `\` or
// `/` separate components. A component missing with its exact case is looked
// up without regard to case. Fails for a null or empty path, a path of
// kMaxPath characters or more, an unknown drive letter and device paths.
bool MapPath(const char* programPath, std::string& posixPath);

// The same mapping without any lookup: drive, root and separators only.
bool MapPathAsWritten(const char* programPath, std::string& posixPath);

// The folder part of a program path: everything before its last separator,
// with that separator ("Saves\x.tvd" -> "Saves\"); empty when it has none.
std::string FolderOf(const std::string& programPath);

// The program-style folder of the running executable, without a trailing
// backslash (for example `\usr\lib\tolvar`).
std::string GetExecutableFolder();

// Case-insensitive match of a file name against a pattern of `*` and `?`,
// letters folded as ASCII like the rest of the program's comparisons.
bool MatchesPattern(const char* name, const char* pattern);

} // namespace tolvar::fs
