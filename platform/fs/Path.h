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
// kMaxPath characters or more, an unknown drive letter, device paths, and a
// drive path whose ".." components climb above the drive's root.
bool MapPath(const char* programPath, std::string& posixPath);

// The same mapping without any lookup: drive, root and separators only.
bool MapPathAsWritten(const char* programPath, std::string& posixPath);

// The rule for a file name that comes from outside: a directory listing, a
// dropped file, a download. Such a name is joined to a folder and must never
// act as a path, or a file named `..\x\v.tvd` on a stick would be read,
// written or deleted outside the drive. A plain name is not empty, holds
// neither `\` nor `/` (both separate components here), and is not "." or "..".
bool IsPlainFileName(const char* name);

// The stricter rule for a name the program creates a file under on a
// server's word (a download): a plain file name that also holds no `:`
// (which would make a drive path of it) and no control character (bytes 1 to
// 31 and 127), which no folder listing should show.
bool IsSafeDownloadName(const char* name);

// folder + name, when name is a plain file name; false (and path untouched)
// otherwise. The one way the program forms the path of a file in a location.
bool JoinFileName(const std::string& folder, const char* name, std::string& path);

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
