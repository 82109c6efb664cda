#include "platform/fs/FileTime.h"

#include <limits>
#include <time.h>

namespace tolvar::fs {
namespace {
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000; // 1970 - 1601
// Times from here on have no calendar form, as on the original platform.
constexpr FileTime kFirstUnbrokenTime = static_cast<FileTime>(1) << 63;
} // namespace

FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds)
{
    // A file system may hold any 64-bit time; one outside the range of file
    // times must neither overflow nor pass for a valid date.
    std::int64_t ticks = 0;
    if (__builtin_mul_overflow(seconds, kTicksPerSecond, &ticks) ||
        __builtin_add_overflow(ticks, static_cast<std::int64_t>(nanoseconds / 100), &ticks) ||
        __builtin_add_overflow(ticks, kUnixEpochTicks, &ticks) || ticks < 0) {
        return kInvalidFileTime;
    }
    return static_cast<FileTime>(ticks);
}

std::int64_t FileTimeToUnixSeconds(FileTime time)
{
    // Floor division, so a time just before 1970 falls in the second it lies in.
    constexpr auto kEpoch = static_cast<FileTime>(kUnixEpochTicks);
    constexpr auto kTicks = static_cast<FileTime>(kTicksPerSecond);
    if (time >= kEpoch) {
        return static_cast<std::int64_t>((time - kEpoch) / kTicks);
    }
    return -static_cast<std::int64_t>((kEpoch - time + kTicks - 1) / kTicks);
}

FileTime GetSystemTimeAsFileTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromUnix(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}

bool UnixTimeToLocalCalendar(std::int64_t seconds, std::tm& calendar)
{
    if (seconds < std::numeric_limits<time_t>::min() ||
        seconds > std::numeric_limits<time_t>::max()) {
        return false;
    }
    const time_t t = static_cast<time_t>(seconds);
    return localtime_r(&t, &calendar) != nullptr;
}

bool FileTimeToLocalCalendar(FileTime time, std::tm& calendar)
{
    return time < kFirstUnbrokenTime &&
           UnixTimeToLocalCalendar(FileTimeToUnixSeconds(time), calendar);
}

bool FileTimeToUtcCalendar(FileTime time, std::tm& calendar)
{
    if (time >= kFirstUnbrokenTime) {
        return false;
    }
    const time_t t = static_cast<time_t>(FileTimeToUnixSeconds(time));
    return gmtime_r(&t, &calendar) != nullptr;
}

} // namespace tolvar::fs
