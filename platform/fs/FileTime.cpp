#include "platform/fs/FileTime.h"

#include <time.h>

namespace tolvar::fs {
namespace {
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000; // 1970 - 1601
} // namespace

FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds)
{
    const std::int64_t ticks = seconds * static_cast<std::int64_t>(kTicksPerSecond) +
                               static_cast<std::int64_t>(nanoseconds / 100);
    return static_cast<FileTime>(ticks + static_cast<std::int64_t>(kUnixEpochTicks));
}

std::int64_t FileTimeToUnixSeconds(FileTime time)
{
    return (static_cast<std::int64_t>(time) - static_cast<std::int64_t>(kUnixEpochTicks)) /
           static_cast<std::int64_t>(kTicksPerSecond);
}

FileTime GetSystemTimeAsFileTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromUnix(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}

bool UnixTimeToLocalCalendar(std::int64_t seconds, std::tm& calendar)
{
    const time_t t = static_cast<time_t>(seconds);
    return localtime_r(&t, &calendar) != nullptr;
}

bool FileTimeToLocalCalendar(FileTime time, std::tm& calendar)
{
    return UnixTimeToLocalCalendar(FileTimeToUnixSeconds(time), calendar);
}

bool FileTimeToUtcCalendar(FileTime time, std::tm& calendar)
{
    const time_t t = static_cast<time_t>(FileTimeToUnixSeconds(time));
    return gmtime_r(&t, &calendar) != nullptr;
}

} // namespace tolvar::fs
