#pragma once

#include <cstddef>

namespace tolvar::net {

// Takes the body of an answer as it arrives, in the order it arrives, so that
// a large answer never has to be held in memory.
class AnswerSink
{
public:
    virtual ~AnswerSink() = default;
    // False stops the transfer, which then fails.
    virtual bool Receive(const void* data, std::size_t length) = 0;
};

} // namespace tolvar::net
