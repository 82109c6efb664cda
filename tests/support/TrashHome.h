#pragma once

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace tolvar::test {

// Points XDG_DATA_HOME at a fresh folder for a test's life, so whatever the
// program puts in the trash lands there and never in the user's own.
class TrashHome
{
public:
    TrashHome()
    {
        if (const char* previous = std::getenv("XDG_DATA_HOME")) {
            m_previous = previous;
        }
        setenv("XDG_DATA_HOME", m_dir.Path().c_str(), 1);
    }
    ~TrashHome()
    {
        if (m_previous) {
            setenv("XDG_DATA_HOME", m_previous->c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
    }
    TrashHome(const TrashHome&) = delete;
    TrashHome& operator=(const TrashHome&) = delete;

    const std::filesystem::path& DataHome() const { return m_dir.Path(); }
    // A file where the trash folder should be: the trash cannot be made,
    // even by root.
    void Break() const
    {
        std::filesystem::remove_all(m_dir / "Trash");
        std::ofstream(m_dir / "Trash") << "not a folder";
    }
    void Mend() const
    {
        if (std::filesystem::is_regular_file(m_dir / "Trash")) {
            std::filesystem::remove(m_dir / "Trash");
        }
    }
    // The info the trash keeps of a file, empty when it has none.
    std::string InfoOf(const std::string& name) const
    {
        std::ifstream in(Info() / (name + ".trashinfo"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path Files() const { return m_dir / "Trash" / "files"; }
    std::filesystem::path Info() const { return m_dir / "Trash" / "info"; }

private:
    TempDir m_dir;
    std::optional<std::string> m_previous;
};

} // namespace tolvar::test
