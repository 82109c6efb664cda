#pragma once

#include <memory>
#include <string>

namespace tolvar::fs {

// Directory search over a program path whose last component is a pattern of
// `*` and `?` matched without regard to case (`E:\*.tvd`). Names come in the
// order the directory gives them; "." and "..", and names that are not plain
// file names (IsPlainFileName), are left out.
class FindFile
{
public:
    FindFile();
    ~FindFile();
    FindFile(const FindFile&) = delete;
    FindFile& operator=(const FindFile&) = delete;

    // True when a first match was found; FileName() then names it.
    bool First(const char* programPattern);
    bool Next();
    void Close();
    // Whether the folder searched has gone since First: its path names
    // another folder or none, as when its drive was pulled out. The search
    // itself would go on listing what the drive held.
    bool FolderGone() const;

    const std::string& FileName() const { return m_name; }
    bool IsDirectory() const { return m_isDirectory; }

private:
    bool Advance();

    struct State;
    std::unique_ptr<State> m_state;
    std::string m_name;
    bool m_isDirectory = false;
};

} // namespace tolvar::fs
