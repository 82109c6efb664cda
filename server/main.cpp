// tolvar-server: the reference online database.
//   tolvar-server [--host H] [--port P] [--root DIR] [--public-url URL] [limits] [--delay-ms N]
//   tolvar-server [--root DIR] --export OUT --export-url URL [--upload-url URL] [--serve]
//   tolvar-server --make-sample DIR
#include "server/DatabaseServer.h"
#include "server/SampleDatabase.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

namespace {

const char kUsage[] =
    "usage: tolvar-server [--host H] [--port P] [--root DIR] [--public-url URL]\n"
    "                     [--uploads-per-hour N] [--quota-mb N] [--reserve-mb N] [--delay-ms N]\n"
    "       tolvar-server [--root DIR] --export OUT --export-url URL\n"
    "                     [--upload-url URL] [--serve] [--host H] [--port P]\n"
    "       tolvar-server [--root DIR] --remove FOLDER/NAME [--export OUT --export-url URL]\n"
    "       tolvar-server [--root DIR] --list-uploads\n"
    "       tolvar-server --make-sample DIR\n"
    "       tolvar-server --help | --version\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// A whole decimal number within [low, high], or nothing.
std::optional<long long> Number(const char* text, long long low, long long high)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    tolvar::server::ServerOptions options;
    std::string exportFolder;
    std::string exportUrl;
    std::string uploadUrl;
    bool serve = false;
    std::string removeSave;
    bool listUploads = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("tolvar-server %s\n", TOLVAR_VERSION);
            return 0;
        } else if (arg == "--make-sample" && hasValue) {
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
            const auto port = Number(argv[++i], 0, 65535);
            if (!port) {
                return Usage();
            }
            options.port = static_cast<int>(*port);
        } else if (arg == "--delay-ms" && hasValue) {
            // Adds internet-like latency to every answer, for measurements.
            const auto delay = Number(argv[++i], 0, 60000);
            if (!delay) {
                return Usage();
            }
            options.limits.delay = std::chrono::milliseconds(*delay);
        } else if (arg == "--public-url" && hasValue) {
            options.publicUrl = argv[++i];
            while (!options.publicUrl.empty() && options.publicUrl.back() == '/') {
                options.publicUrl.pop_back();
            }
        } else if (arg == "--uploads-per-hour" && hasValue) {
            const auto n = Number(argv[++i], 0, 1000000);
            if (!n) {
                return Usage();
            }
            options.uploadsPerHour = static_cast<int>(*n);
        } else if ((arg == "--quota-mb" || arg == "--reserve-mb") && hasValue) {
            const auto n = Number(argv[++i], 0, 1ll << 40);
            if (!n) {
                return Usage();
            }
            (arg == "--quota-mb" ? options.communityQuota : options.diskReserve) =
                static_cast<std::uint64_t>(*n) << 20;
        } else if (arg == "--export" && hasValue) {
            exportFolder = argv[++i];
        } else if (arg == "--export-url" && hasValue) {
            exportUrl = argv[++i];
        } else if (arg == "--upload-url" && hasValue) {
            uploadUrl = argv[++i];
        } else if (arg == "--remove" && hasValue) {
            removeSave = argv[++i];
        } else if (arg == "--list-uploads") {
            listUploads = true;
        } else if (arg == "--serve") {
            serve = true;
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
    if (exportFolder.empty() != exportUrl.empty() || (serve && exportFolder.empty())) {
        return Usage();
    }
    try {
        if (listUploads) {
            tolvar::server::OnlineDatabase database(options.root);
            std::ifstream log(database.UploadLogPath());
            std::cout << "date\tsize\taddress\tsave\n" << log.rdbuf();
            return 0;
        }
        if (!removeSave.empty()) {
            tolvar::server::OnlineDatabase database(options.root);
            std::string error;
            if (!database.Remove(removeSave, error)) {
                std::fprintf(stderr, "tolvar-server: %s\n", error.c_str());
                return 1;
            }
            std::printf("tolvar-server: %s moved to %s\n", removeSave.c_str(),
                        (database.Root().parent_path() / "removed").c_str());
            if (!exportFolder.empty()) {
                const std::size_t slash = removeSave.rfind('/');
                tolvar::server::ExportOptions exportTo{
                    exportFolder, exportUrl, uploadUrl.empty() ? options.publicUrl : uploadUrl};
                if (!tolvar::server::StaticExport(database, exportTo)
                         .WriteSave(slash == std::string::npos ? "" : removeSave.substr(0, slash),
                                    removeSave.substr(slash + 1), error)) {
                    std::fprintf(stderr, "tolvar-server: the export is out of date: %s\n",
                                 error.c_str());
                    return 1;
                }
            }
            return 0;
        }
        if (!exportFolder.empty()) {
            // Uploads go to this server unless another is named.
            const bool v6 = options.host.find(':') != std::string::npos;
            tolvar::server::ExportOptions exportTo{
                exportFolder, exportUrl,
                !uploadUrl.empty() ? uploadUrl
                : !options.publicUrl.empty()
                    ? options.publicUrl
                    : "http://" + (v6 ? "[" + options.host + "]" : options.host) + ":" +
                          std::to_string(options.port)};
            tolvar::server::OnlineDatabase database(options.root);
            std::string error;
            if (!tolvar::server::StaticExport(database, exportTo).WriteAll(error)) {
                std::fprintf(stderr, "tolvar-server: %s\n", error.c_str());
                return 1;
            }
            if (!serve) {
                // Served, the one line printed is the address served.
                std::printf("tolvar-server: %s exported to %s for %s\n", options.root.c_str(),
                            exportFolder.c_str(), exportUrl.c_str());
                return 0;
            }
            options.exportTo = exportTo;
        }
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
