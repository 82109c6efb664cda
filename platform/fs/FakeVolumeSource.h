#pragma once

#include "platform/fs/Volume.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tolvar::fs {

// Volumes made up by a test: each a folder with a label, a drive type and a
// free-space figure. Adding or removing one fires the change signal, so a
// VolumeWatcher reports it as it would a real mount.
class FakeVolumeSource : public VolumeSource
{
public:
    struct Fake
    {
        char letter = 0; // 0: the next free letter
        std::string folder;
        std::string label;
        DriveType type = DriveType::Removable;
        std::uint64_t freeBytes = 0;
        bool hasMedium = true;
        bool freeSpaceReadable = true;
        std::string mountId; // empty: its own; else as a mount that took a freed id
    };

    FakeVolumeSource();
    ~FakeVolumeSource() override;

    void Add(const Fake& volume);
    void Remove(const std::string& folder);
    void SetFreeBytes(const std::string& folder, std::uint64_t freeBytes);

    std::vector<VolumeInfo> List() override;
    bool FreeBytes(const VolumeInfo& volume, std::uint64_t& totalFreeBytes) override;
    ChangeSignal GetChangeSignal() override;
    void ConsumeChange() override;

private:
    void Signal();

    std::mutex m_mutex;
    std::vector<Fake> m_volumes;
    std::vector<std::string> m_keys;
    unsigned m_nextKey = 1;
    int m_eventFd = -1;
};

} // namespace tolvar::fs
