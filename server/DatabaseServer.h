#pragma once

#include "server/OnlineDatabase.h"

#include <filesystem>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace tolvar::server {

struct ServerOptions
{
    std::string host = "127.0.0.1";
    int port = 8642; // 0: any free port
    std::filesystem::path root = ".";
    int threads = 16;
    int timeoutSeconds = 5; // for reading a request, writing an answer, an idle connection
};

// Only loopback addresses are served: the database is for this machine.
bool IsLoopbackHost(const std::string& host);

// The HTTP face of an OnlineDatabase: the settings page, the list and detail
// documents, the save files, the code list and the upload form.
class DatabaseServer
{
public:
    explicit DatabaseServer(const ServerOptions& options);
    ~DatabaseServer();

    // The port bound, or -1 when the address cannot be bound.
    int Bind();
    // Serves until Stop; false when it could not listen.
    bool Run();
    void Stop();

private:
    void Route();
    std::string BaseUrl(const std::string& hostHeader) const;

    ServerOptions m_options;
    OnlineDatabase m_database;
    std::unique_ptr<httplib::Server> m_http;
    int m_port = -1;
};

} // namespace tolvar::server
