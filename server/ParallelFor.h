#pragma once

#include <cstddef>
#include <functional>

namespace tolvar::server {

// Runs work(i) for every i below count, shared among up to maxThreads
// threads (this one among them, and no more than the machine's cores),
// handed out grain at a time; returns when all are done. With no thread to
// spare this one does it all.
void ParallelFor(std::size_t count, std::size_t grain, std::size_t maxThreads,
                 const std::function<void(std::size_t)>& work);

} // namespace tolvar::server
