#include "server/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace tolvar::server {

void ParallelFor(std::size_t count, std::size_t grain, std::size_t maxThreads,
                 const std::function<void(std::size_t)>& work)
{
    static const std::size_t cores = std::max(std::thread::hardware_concurrency(), 1u);
    grain = std::max<std::size_t>(grain, 1);
    const std::size_t threads =
        std::min({cores, std::max<std::size_t>(maxThreads, 1), (count + grain - 1) / grain});
    std::atomic<std::size_t> next{0};
    const auto share = [&] {
        for (std::size_t from; (from = next.fetch_add(grain)) < count;) {
            for (std::size_t i = from; i < std::min(from + grain, count); ++i) {
                work(i);
            }
        }
    };
    std::vector<std::thread> helpers;
    try {
        while (helpers.size() + 1 < threads) {
            helpers.emplace_back(share);
        }
    } catch (const std::system_error&) {
        // No thread to spare: this one does what the others would have.
    }
    share();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

} // namespace tolvar::server
