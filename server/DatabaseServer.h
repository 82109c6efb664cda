#pragma once

#include "server/HttpServer.h"
#include "server/OnlineDatabase.h"
#include "server/StaticExport.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::server {

struct ServerOptions
{
    std::string host = "127.0.0.1";
    int port = 8642; // 0: any free port
    std::filesystem::path root = ".";
    // The address handed out in every document ("http://host:port"); empty:
    // the address served. Behind a proxy, the address readers use.
    std::string publicUrl;
    HttpLimits limits;
    std::optional<ExportOptions> exportTo;                 // kept up to date after every upload
    int uploadsPerHour = 20;                               // from one client address
    std::uint64_t communityQuota = std::uint64_t{2} << 30; // bytes in "Online Community"
    std::uint64_t diskReserve = std::uint64_t{512} << 20;  // free bytes kept on the disk
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
    std::string BaseUrl() const;
    void Upload(const HttpRequest& req, HttpResponse& res);
    // A folder's list document; a big one is kept while its folder is unchanged.
    void ListDocument(const std::string& folder, bool gzipOk, HttpResponse& res);
    // Seconds until the address may upload again; 0 when it may now.
    long UploadWait(const std::string& address);

    ServerOptions m_options;
    OnlineDatabase m_database;
    std::mutex m_exportMutex;
    std::mutex m_uploadsMutex;
    std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> m_uploads;
    struct KeptList
    {
        std::string stamp;
        std::chrono::steady_clock::time_point made;
        std::vector<std::string> document; // in pieces, joined for a client that takes it unpacked
        std::string gzipped;
    };
    std::mutex m_listsMutex;
    std::map<std::string, KeptList> m_lists;
    std::map<std::string, std::shared_ptr<std::mutex>>
        m_building; // one build of a folder at a time
    HttpServer m_http;
    int m_port = -1;
};

} // namespace tolvar::server
