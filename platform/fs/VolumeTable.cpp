#include "platform/fs/VolumeTable.h"

#include "platform/fs/LinuxVolumeSource.h"

#include <cctype>
#include <utility>

namespace tolvar::fs {
namespace {

bool LetterOfRoot(const char* root, char& letter)
{
    if (root == nullptr || !std::isalpha(static_cast<unsigned char>(root[0])) || root[1] != ':') {
        return false;
    }
    if (root[2] != '\0' && !((root[2] == '\\' || root[2] == '/') && root[3] == '\0')) {
        return false;
    }
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    return true;
}

} // namespace

VolumeTable::VolumeTable(std::unique_ptr<VolumeSource> source) : m_source(std::move(source))
{
    Refresh();
}

VolumeTable& VolumeTable::Global()
{
    static VolumeTable table(std::make_unique<LinuxVolumeSource>());
    return table;
}

std::unique_ptr<VolumeSource> VolumeTable::SetSource(std::unique_ptr<VolumeSource> source)
{
    std::unique_ptr<VolumeSource> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_source, std::move(source));
        m_letters = {};
    }
    Refresh();
    return previous;
}

VolumeTable::Change VolumeTable::Refresh()
{
    std::lock_guard lock(m_mutex);
    Change change;
    if (!m_source) {
        return change;
    }
    std::vector<VolumeInfo> volumes = m_source->List();

    std::array<bool, 26> stillThere{};
    for (std::size_t i = 0; i < m_letters.size(); ++i) {
        if (!m_letters[i]) {
            continue;
        }
        for (const VolumeInfo& volume : volumes) {
            if (volume.key == m_letters[i]->key) {
                // The same mount: it keeps its letter; its medium or name may change.
                m_letters[i] = volume;
                stillThere[i] = true;
                break;
            }
        }
        if (!stillThere[i]) {
            m_letters[i].reset();
            change.removed |= 1u << i;
        }
    }

    for (const VolumeInfo& volume : volumes) {
        bool known = false;
        for (const auto& held : m_letters) {
            if (held && held->key == volume.key) {
                known = true;
                break;
            }
        }
        if (known) {
            continue;
        }
        int slot = -1;
        const char wanted =
            static_cast<char>(std::toupper(static_cast<unsigned char>(volume.preferredLetter)));
        if (wanted >= 'A' && wanted <= 'Z' && !m_letters[static_cast<std::size_t>(wanted - 'A')]) {
            slot = wanted - 'A';
        } else if (volume.type == DriveType::Removable) {
            for (int i = 'D' - 'A'; i <= 'Z' - 'A'; ++i) {
                if (!m_letters[static_cast<std::size_t>(i)]) {
                    slot = i;
                    break;
                }
            }
        }
        if (slot < 0) {
            continue; // no letter left, or a fixed volume nobody asked a letter for
        }
        m_letters[static_cast<std::size_t>(slot)] = volume;
        change.arrived |= 1u << slot;
    }
    return change;
}

std::uint32_t VolumeTable::LogicalDrives() const
{
    std::lock_guard lock(m_mutex);
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < m_letters.size(); ++i) {
        if (m_letters[i]) {
            mask |= 1u << i;
        }
    }
    return mask;
}

std::optional<VolumeInfo> VolumeTable::VolumeAt(char letter) const
{
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (letter < 'A' || letter > 'Z') {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return m_letters[static_cast<std::size_t>(letter - 'A')];
}

bool VolumeTable::FreeBytes(char letter, std::uint64_t& totalFreeBytes) const
{
    auto volume = VolumeAt(letter);
    if (!volume || !volume->hasMedium) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    return m_source && m_source->FreeBytes(*volume, totalFreeBytes);
}

std::uint32_t GetLogicalDrives()
{
    return VolumeTable::Global().LogicalDrives();
}

DriveType GetDriveType(const char* root)
{
    char letter;
    if (!LetterOfRoot(root, letter)) {
        return DriveType::NoRootDir;
    }
    auto volume = VolumeTable::Global().VolumeAt(letter);
    return volume ? volume->type : DriveType::NoRootDir;
}

bool GetVolumeInformation(const char* root, std::string& volumeName, std::string& fileSystemName)
{
    char letter;
    if (!LetterOfRoot(root, letter)) {
        return false;
    }
    auto volume = VolumeTable::Global().VolumeAt(letter);
    if (!volume || !volume->hasMedium) {
        return false;
    }
    volumeName = volume->label;
    fileSystemName = volume->fileSystem;
    return true;
}

} // namespace tolvar::fs
