#pragma once

// The reference server started with a pause before every answer, so a test
// can kill it outright (KillWhileAnswering) while a client waits in the
// middle of a request, as a crashed or powered-off server would leave it.
#include "tests/net/ServerProcess.h"

#include <string>

namespace tolvar::test {

class DyingServer : public ServerProcess
{
public:
    DyingServer(const std::filesystem::path& root, int delayMs)
        : ServerProcess(root, {"--delay-ms", std::to_string(delayMs)})
    {
    }
};

} // namespace tolvar::test
