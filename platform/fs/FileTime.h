#pragma once

#include <cstdint>
#include <ctime>

namespace tolvar::fs {

// Times in 100-nanosecond ticks since 1 January 1601 UTC, the unit of the
// file times the program was written against.
using FileTime = std::uint64_t;

// What FileTimeFromUnix gives for a time before 1601 or too far ahead to be a
// file time: present, but with no calendar form.
constexpr FileTime kInvalidFileTime = ~static_cast<FileTime>(0);

FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);
std::int64_t FileTimeToUnixSeconds(FileTime time);

// The current time (UTC).
FileTime GetSystemTimeAsFileTime();

// Calendar fields of a time in the local time zone or in UTC; false when the
// time cannot be broken down (from 2^63 ticks on, kInvalidFileTime included).
bool FileTimeToLocalCalendar(FileTime time, std::tm& calendar);
bool FileTimeToUtcCalendar(FileTime time, std::tm& calendar);

// Calendar fields of a Unix time in the local time zone.
bool UnixTimeToLocalCalendar(std::int64_t seconds, std::tm& calendar);

} // namespace tolvar::fs
