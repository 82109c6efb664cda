#pragma once

#include "platform/fs/Volume.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tolvar::fs {

// Bit n of a unit mask stands for the drive letter 'A' + n.
constexpr std::uint32_t UnitMaskOf(char letter)
{
    return (letter >= 'A' && letter <= 'Z') ? (1u << (letter - 'A')) : 0u;
}

// Gives drive letters to volumes. Removable volumes get the letters D to Z in
// the order they are found, the lowest free letter first, and keep theirs
// while they stay mounted; a volume that asks for a letter (the system volume
// as C:, a fake drive in a test) gets it when it is free. The table only
// changes in Refresh(), so what a caller saw stays true until the watcher
// (or whoever calls Refresh) reports a change.
class VolumeTable
{
public:
    struct Change
    {
        std::uint32_t arrived = 0;
        std::uint32_t removed = 0;
    };

    explicit VolumeTable(std::unique_ptr<VolumeSource> source);

    // The process-wide table behind drive letters in paths. It starts with the
    // Linux source, already refreshed.
    static VolumeTable& Global();

    // Replaces the source (tests install a fake one), forgets every letter and
    // refreshes. Not to be called while a watcher runs on this table.
    std::unique_ptr<VolumeSource> SetSource(std::unique_ptr<VolumeSource> source);
    VolumeSource& Source() { return *m_source; }

    Change Refresh();

    std::uint32_t LogicalDrives() const;
    std::optional<VolumeInfo> VolumeAt(char letter) const;
    bool FreeBytes(char letter, std::uint64_t& totalFreeBytes) const;

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<VolumeSource> m_source;
    std::array<std::optional<VolumeInfo>, 26> m_letters;
};

// The original drive and volume queries, over the global table. A root is
// "X:\" (or "X:"); other paths name no drive.
std::uint32_t GetLogicalDrives();
DriveType GetDriveType(const char* root);
bool GetVolumeInformation(const char* root, std::string& volumeName, std::string& fileSystemName);

} // namespace tolvar::fs
