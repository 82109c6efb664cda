#include "platform/fs/FindFile.h"

#include "platform/fs/Path.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace tolvar::fs {

struct FindFile::State
{
    DIR* dir = nullptr;
    std::string folder;  // POSIX, with a trailing slash
    std::string pattern; // last component of the program pattern
    dev_t device = 0;    // of the folder searched
    ino_t inode = 0;
};

FindFile::FindFile() = default;

FindFile::~FindFile()
{
    Close();
}

bool FindFile::First(const char* programPattern)
{
    Close();
    if (programPattern == nullptr || strnlen(programPattern, kMaxPath) >= kMaxPath) {
        return false;
    }
    const std::string whole(programPattern);
    const std::string folderPart = FolderOf(whole);
    const std::string pattern = whole.substr(folderPart.size());
    if (pattern.empty()) {
        return false;
    }
    std::string folder;
    if (folderPart.empty()) {
        folder = "./";
    } else if (!MapPath(folderPart.c_str(), folder)) {
        return false;
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    struct stat st;
    if (fstat(dirfd(dir), &st) != 0) {
        closedir(dir);
        return false;
    }
    m_state = std::make_unique<State>();
    m_state->dir = dir;
    m_state->device = st.st_dev;
    m_state->inode = st.st_ino;
    m_state->folder = std::move(folder);
    m_state->pattern = pattern;
    return Advance();
}

bool FindFile::Next()
{
    return m_state != nullptr && Advance();
}

bool FindFile::Advance()
{
    while (dirent* entry = readdir(m_state->dir)) {
        // A name that could act as a path is not listed at all.
        if (!IsPlainFileName(entry->d_name)) {
            continue;
        }
        if (!MatchesPattern(entry->d_name, m_state->pattern.c_str())) {
            continue;
        }
        m_name = entry->d_name;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            const std::string full = m_state->folder + m_name;
            m_isDirectory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        } else {
            m_isDirectory = entry->d_type == DT_DIR;
        }
        return true;
    }
    m_name.clear();
    m_isDirectory = false;
    return false;
}

bool FindFile::FolderGone() const
{
    if (m_state == nullptr) {
        return false;
    }
    struct stat st;
    return stat(m_state->folder.c_str(), &st) != 0 || st.st_dev != m_state->device ||
           st.st_ino != m_state->inode;
}

void FindFile::Close()
{
    if (m_state != nullptr) {
        closedir(m_state->dir);
        m_state.reset();
    }
    m_name.clear();
    m_isDirectory = false;
}

} // namespace tolvar::fs
