#pragma once

#include <chrono>
#include <cstdint>

namespace tolvar::net {

// Bounds of one request. A request that cannot connect within `connect`, sees
// no byte move for `stall`, or lasts longer than `total` in all is aborted
// with an InternetException. A zero `total` leaves only the other two.
struct NetTimeouts
{
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds stall{10000};
    std::chrono::milliseconds total{300000};
    std::uint64_t maxBodyBytes = 64ull * 1024 * 1024;
};

// What a session takes when it is given nothing else; tests shorten them.
NetTimeouts DefaultNetTimeouts();
void SetDefaultNetTimeouts(const NetTimeouts& timeouts);

} // namespace tolvar::net
