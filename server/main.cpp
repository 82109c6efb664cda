// tolvar-server: the reference online database.
//   tolvar-server [--host H] [--port P] [--root DIR] [--delay-ms N]
//   tolvar-server --make-sample DIR
#include "server/DatabaseServer.h"
#include "server/SampleDatabase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: tolvar-server [--host H] [--port P] [--root DIR] [--delay-ms N]\n"
                         "       tolvar-server --make-sample DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    tolvar::server::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--make-sample" && hasValue) {
            const char* dir = argv[++i];
            if (!tolvar::server::MakeSampleDatabase(dir)) {
                std::fprintf(stderr, "tolvar-server: cannot write the sample database in %s\n",
                             dir);
                return 1;
            }
            std::printf("tolvar-server: sample database written to %s\n", dir);
            return 0;
        } else if (arg == "--host" && hasValue) {
            options.host = argv[++i];
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                return Usage();
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--delay-ms" && hasValue) {
            // Adds internet-like latency to every answer, for measurements.
            char* end = nullptr;
            const long delay = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || delay < 0 || delay > 60000) {
                return Usage();
            }
            options.limits.delay = std::chrono::milliseconds(delay);
        } else if (arg == "--root" && hasValue) {
            options.root = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!tolvar::server::IsLoopbackHost(options.host)) {
        std::fprintf(stderr, "tolvar-server: only loopback addresses are served, not %s\n",
                     options.host.c_str());
        return 2;
    }
    try {
        tolvar::server::DatabaseServer server(options);
        const int port = server.Bind();
        if (port <= 0) {
            std::fprintf(stderr, "tolvar-server: cannot listen on %s:%d\n", options.host.c_str(),
                         options.port);
            return 1;
        }
        std::printf("tolvar-server: serving %s on http://%s:%d\n", options.root.c_str(),
                    options.host.c_str(), port);
        std::fflush(stdout);
        return server.Run() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvar-server: %s\n", e.what());
        return 1;
    }
}
