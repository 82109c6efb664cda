#pragma once

#include "platform/fs/FakeVolumeSource.h"
#include "platform/fs/VolumeTable.h"

#include <memory>
#include <string>

namespace tolvar::test {

// Puts a fake volume source behind the process's drive letters for the
// lifetime of the object and refreshes the table after each change, as the
// watcher would.
class FakeDrives
{
public:
    FakeDrives()
    {
        auto fake = std::make_unique<fs::FakeVolumeSource>();
        m_fake = fake.get();
        m_previous = fs::VolumeTable::Global().SetSource(std::move(fake));
    }
    ~FakeDrives() { fs::VolumeTable::Global().SetSource(std::move(m_previous)); }
    FakeDrives(const FakeDrives&) = delete;
    FakeDrives& operator=(const FakeDrives&) = delete;

    void Add(char letter, const std::string& folder, const std::string& label,
             std::uint64_t freeBytes = 1u << 30, fs::DriveType type = fs::DriveType::Removable)
    {
        fs::FakeVolumeSource::Fake volume;
        volume.letter = letter;
        volume.folder = folder;
        volume.label = label;
        volume.freeBytes = freeBytes;
        volume.type = type;
        Add(volume);
    }
    void Add(const fs::FakeVolumeSource::Fake& volume)
    {
        m_fake->Add(volume);
        fs::VolumeTable::Global().Refresh();
    }
    void Remove(const std::string& folder)
    {
        m_fake->Remove(folder);
        fs::VolumeTable::Global().Refresh();
    }
    void SetFreeBytes(const std::string& folder, std::uint64_t freeBytes)
    {
        m_fake->SetFreeBytes(folder, freeBytes);
    }

private:
    fs::FakeVolumeSource* m_fake = nullptr;
    std::unique_ptr<fs::VolumeSource> m_previous;
};

} // namespace tolvar::test
