#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tolvar::bench {

// A folder under /tmp that is removed with everything in it when the object
// goes.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Writes count sealed saves of saveBytes each into folder: files "0000.tvd"
// onwards, named "Save 0000" onwards in a shuffled order so a catalogue has
// sorting to do, each with different bytes. Returns the files' paths.
std::vector<std::string> WriteSaves(const std::string& folder, int count, std::size_t saveBytes);

// A POSIX path written program-style: every `/` becomes `\`.
std::string ProgramStyle(std::string path);

} // namespace tolvar::bench
