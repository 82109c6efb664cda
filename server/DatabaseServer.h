#pragma once

#include "server/HttpServer.h"
#include "server/OnlineDatabase.h"
#include "server/StaticExport.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace tolvar::server {

struct ServerOptions
{
    std::string host = "127.0.0.1";
    int port = 8642; // 0: any free port
    std::filesystem::path root = ".";
    HttpLimits limits;
    std::optional<ExportOptions> exportTo; // kept up to date after every upload
};

// Only loopback addresses are served: the database is for this machine.
bool IsLoopbackHost(const std::string& host);

// The HTTP face of an OnlineDatabase: the settings page, the home page, the
// list and detail documents, the save files, the code list and the upload form.
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

    // Answers one request; the HTTP layer has read it whole, or says why not.
    void Serve(const HttpRequest& req, HttpResponse& res);

private:
    std::string BaseUrl(const std::string& hostHeader) const;
    void Upload(const HttpRequest& req, HttpResponse& res);

    ServerOptions m_options;
    OnlineDatabase m_database;
    std::mutex m_exportMutex;
    HttpServer m_http;
    int m_port = -1;
};

} // namespace tolvar::server
