#include "platform/fs/FakeVolumeSource.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvar::fs {

FakeVolumeSource::FakeVolumeSource() : m_eventFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

FakeVolumeSource::~FakeVolumeSource()
{
    if (m_eventFd >= 0) {
        close(m_eventFd);
    }
}

void FakeVolumeSource::Add(const Fake& volume)
{
    {
        std::lock_guard lock(m_mutex);
        m_volumes.push_back(volume);
        m_keys.push_back("fake:" + std::to_string(m_nextKey++));
    }
    Signal();
}

void FakeVolumeSource::Remove(const std::string& folder)
{
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < m_volumes.size(); ++i) {
            if (m_volumes[i].folder == folder) {
                m_volumes.erase(m_volumes.begin() + static_cast<long>(i));
                m_keys.erase(m_keys.begin() + static_cast<long>(i));
                break;
            }
        }
    }
    Signal();
}

void FakeVolumeSource::SetFreeBytes(const std::string& folder, std::uint64_t freeBytes)
{
    std::lock_guard lock(m_mutex);
    for (Fake& volume : m_volumes) {
        if (volume.folder == folder) {
            volume.freeBytes = freeBytes;
        }
    }
}

std::vector<VolumeInfo> FakeVolumeSource::List()
{
    std::lock_guard lock(m_mutex);
    std::vector<VolumeInfo> list;
    for (std::size_t i = 0; i < m_volumes.size(); ++i) {
        const Fake& fake = m_volumes[i];
        VolumeInfo info;
        info.key = m_keys[i];
        info.mountId = fake.mountId.empty() ? m_keys[i] : fake.mountId;
        info.medium = m_keys[i];
        struct stat st = {};
        if (stat(fake.folder.c_str(), &st) == 0) {
            info.device = st.st_dev;
        }
        info.mountPoint = fake.folder;
        info.label = fake.label;
        info.fileSystem = "fakefs";
        info.type = fake.type;
        info.hasMedium = fake.hasMedium;
        info.preferredLetter = fake.letter;
        list.push_back(std::move(info));
    }
    return list;
}

bool FakeVolumeSource::FreeBytes(const VolumeInfo& volume, std::uint64_t& totalFreeBytes)
{
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_volumes.size(); ++i) {
        if (m_keys[i] == volume.key) {
            if (!m_volumes[i].freeSpaceReadable) {
                return false;
            }
            totalFreeBytes = m_volumes[i].freeBytes;
            return true;
        }
    }
    return false;
}

ChangeSignal FakeVolumeSource::GetChangeSignal()
{
    return {m_eventFd, POLLIN};
}

void FakeVolumeSource::ConsumeChange()
{
    std::uint64_t count;
    [[maybe_unused]] ssize_t ignored = read(m_eventFd, &count, sizeof count);
}

void FakeVolumeSource::Signal()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = write(m_eventFd, &one, sizeof one);
}

} // namespace tolvar::fs
