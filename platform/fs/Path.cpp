// Program paths to POSIX paths.
//
// The program keeps Windows-style paths. A drive letter names the mount point
// the volume table gives it, a leading separator is the POSIX root, and any
// other path is relative to the working directory. Components are then
// resolved one by one: one that exists with its exact case is kept, one that
// does not is looked for in its folder without regard to case, and once a
// component is missing altogether the rest are kept as written (a file about
// to be created).
#include "platform/fs/Path.h"

#include "platform/fs/VolumeTable.h"

#include <cctype>
#include <cstring>
#include <dirent.h>
#include <limits.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvar::fs {
namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool EqualsIgnoringCase(const char* a, const char* b)
{
    while (*a != '\0' && *b != '\0') {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
        ++a;
        ++b;
    }
    return *a == *b;
}

// The name in folder that matches component without regard to case, if any.
bool FindCaseInsensitive(const std::string& folder, const std::string& component,
                         std::string& found)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool matched = false;
    while (dirent* entry = readdir(dir)) {
        if (EqualsIgnoringCase(entry->d_name, component.c_str())) {
            found = entry->d_name;
            matched = true;
            break;
        }
    }
    closedir(dir);
    return matched;
}

std::string Join(const std::string& base, const std::string& component)
{
    if (base.empty()) {
        return component;
    }
    if (base.back() == '/') {
        return base + component;
    }
    return base + "/" + component;
}

// The component of a program path that starts at or after i, leaving i at
// its end; empty when only separators are left.
std::string_view NextComponent(const char* programPath, std::size_t& i, std::size_t length)
{
    while (i < length && IsSeparator(programPath[i])) {
        ++i;
    }
    const std::size_t start = i;
    while (i < length && !IsSeparator(programPath[i])) {
        ++i;
    }
    return {programPath + start, i - start};
}

// True when the ".." components from pos on lead above where they start.
bool ClimbsAboveStart(const char* programPath, std::size_t pos, std::size_t length)
{
    int depth = 0;
    for (std::size_t i = pos; i < length;) {
        const std::string_view component = NextComponent(programPath, i, length);
        if (component == "..") {
            if (--depth < 0) {
                return true;
            }
        } else if (!component.empty() && component != ".") {
            ++depth;
        }
    }
    return false;
}

// Splits off what the path starts from: a drive's mount point, the POSIX
// root or nothing (the working directory). pos is where components begin.
bool StartOf(const char* programPath, std::size_t& length, std::string& base, std::size_t& pos)
{
    if (programPath == nullptr) {
        return false;
    }
    length = strnlen(programPath, kMaxPath);
    if (length == 0 || length >= kMaxPath) {
        return false;
    }
    base.clear();
    pos = 0;
    if (std::isalpha(static_cast<unsigned char>(programPath[0])) && programPath[1] == ':') {
        const char letter =
            static_cast<char>(std::toupper(static_cast<unsigned char>(programPath[0])));
        auto volume = VolumeTable::Global().VolumeAt(letter);
        if (!volume || !volume->hasMedium) {
            return false;
        }
        base = volume->mountPoint;
        pos = 2;
        // A drive path stays on its drive.
        if (ClimbsAboveStart(programPath, pos, length)) {
            return false;
        }
    } else if (IsSeparator(programPath[0]) && IsSeparator(programPath[1])) {
        return false; // device and network paths name nothing here
    } else if (IsSeparator(programPath[0])) {
        base.assign(1, '/');
        pos = 1;
    }
    return true;
}

std::string Literal(std::string base, const char* programPath, std::size_t pos, std::size_t length)
{
    for (std::size_t j = pos; j < length; ++j) {
        const char c = IsSeparator(programPath[j]) ? '/' : programPath[j];
        if (c != '/' || (!base.empty() && base.back() != '/')) {
            base.push_back(c);
        }
    }
    if (base.empty()) {
        base.push_back('.');
    }
    return base;
}

} // namespace

bool MapPathAsWritten(const char* programPath, std::string& posixPath)
{
    std::size_t length = 0;
    std::size_t pos = 0;
    std::string base;
    if (!StartOf(programPath, length, base, pos)) {
        return false;
    }
    posixPath = Literal(std::move(base), programPath, pos, length);
    return true;
}

bool MapPath(const char* programPath, std::string& posixPath)
{
    std::size_t length = 0;
    std::size_t pos = 0;
    std::string base;
    if (!StartOf(programPath, length, base, pos)) {
        return false;
    }
    const bool trailing = IsSeparator(programPath[length - 1]);

    // The common case: the path exists exactly as written, found with one
    // lookup instead of one per component.
    std::string direct = Literal(base, programPath, pos, length);
    struct stat directStat;
    if (lstat(direct.c_str(), &directStat) == 0) {
        posixPath = std::move(direct);
        return true;
    }

    bool resolving = true;
    std::size_t i = pos;
    while (i < length) {
        const std::string component(NextComponent(programPath, i, length));
        if (component.empty()) {
            break;
        }
        if (component == "." || component == "..") {
            base = Join(base, component);
            continue;
        }
        std::string exact = Join(base, component);
        struct stat st;
        if (resolving && lstat(exact.c_str(), &st) != 0) {
            std::string found;
            if (FindCaseInsensitive(base, component, found)) {
                exact = Join(base, found);
            } else {
                resolving = false;
            }
        }
        base = std::move(exact);
    }
    if (base.empty()) {
        base.push_back('.');
    }
    if (trailing && base.back() != '/') {
        base += '/';
    }
    posixPath = std::move(base);
    return true;
}

bool IsPlainFileName(const char* name)
{
    if (name == nullptr || *name == '\0' || std::strcmp(name, ".") == 0 ||
        std::strcmp(name, "..") == 0) {
        return false;
    }
    return std::strpbrk(name, "\\/") == nullptr;
}

bool IsSafeDownloadName(const char* name)
{
    if (!IsPlainFileName(name)) {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte == ':' || byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

bool JoinFileName(const std::string& folder, const char* name, std::string& path)
{
    if (!IsPlainFileName(name)) {
        return false;
    }
    path = folder + name;
    return true;
}

std::string FolderOf(const std::string& programPath)
{
    const std::size_t last = programPath.find_last_of("\\/");
    return last == std::string::npos ? std::string() : programPath.substr(0, last + 1);
}

std::string GetExecutableFolder()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return std::string();
    }
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t last = path.rfind('/');
    path = last == std::string::npos ? std::string() : path.substr(0, last);
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

bool MatchesPattern(const char* name, const char* pattern)
{
    // Iterative glob: remember the last `*` and retry from one character later.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern != '\0' &&
                   (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                           std::tolower(static_cast<unsigned char>(*name)))) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

} // namespace tolvar::fs
