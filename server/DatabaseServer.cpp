#include "server/DatabaseServer.h"

#include "server/HomePage.h"
#include "server/UploadForm.h"

#include <cstdio>

namespace tolvar::server {
namespace {

void NotFound(HttpResponse& res)
{
    res.status = 404;
    res.body = "not found\r\n";
}

void Answer(HttpResponse& res, bool stored, const std::string& reason)
{
    res.body = stored ? std::string("Result=1\r\n") : "Result=0\r\nReason=" + reason + "\r\n";
}

void Bytes(HttpResponse& res, std::optional<std::string> bytes)
{
    if (!bytes) {
        return NotFound(res);
    }
    res.contentType = "application/octet-stream";
    res.body = std::move(*bytes);
}

void Xml(HttpResponse& res, std::optional<std::string> doc)
{
    if (!doc) {
        return NotFound(res);
    }
    res.contentType = "text/xml";
    res.body = std::move(*doc);
    res.compressible = true;
}

} // namespace

bool IsLoopbackHost(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

DatabaseServer::DatabaseServer(const ServerOptions& options)
    : m_options(options), m_database(options.root),
      m_http(options.limits, [this](const HttpRequest& req, HttpResponse& res) { Serve(req, res); })
{
}

DatabaseServer::~DatabaseServer() = default;

int DatabaseServer::Bind()
{
    if (!IsLoopbackHost(m_options.host)) {
        return -1;
    }
    m_port = m_http.Bind(m_options.host, m_options.port);
    return m_port;
}

bool DatabaseServer::Run()
{
    return m_port > 0 && m_http.Run();
}

void DatabaseServer::Stop()
{
    m_http.Stop();
}
std::string DatabaseServer::BaseUrl(const std::string& hostHeader) const
{
    // The addresses handed out name the host the client used, when its
    // header is a plain host and port; otherwise the address served.
    bool plain = !hostHeader.empty() && hostHeader.size() <= 255;
    for (char c : hostHeader) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '[' ||
                        c == ']';
        plain = plain && ok;
    }
    if (plain) {
        return "http://" + hostHeader;
    }
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port);
}

void DatabaseServer::Serve(const HttpRequest& req, HttpResponse& res)
{
    const std::string& path = req.path;
    if (req.method == "POST" && path == "/tolvar_upload.asp") {
        return Upload(req, res);
    }
    if (req.method != "GET" && req.method != "HEAD") {
        res.status = 405;
        res.body = "method not allowed\r\n";
        return;
    }
    if (path == "/tolvar_settings.asp") {
        const std::string base = BaseUrl(req.Header("Host"));
        res.body = "SAVES_URL=" + base + "/tolvar_list.asp?folder=\r\n" + "UPLOAD_URL=" + base +
                   "/tolvar_upload.asp?\r\n" + "CODELIST_URL=" + base + "/codelist.bin\r\n";
    } else if (path == "/" || path == "/index.html") {
        res.contentType = "text/html; charset=utf-8";
        res.body = HomePage(m_database);
    } else if (path == "/tolvar_list.asp") {
        Xml(res, m_database.ListDocument(req.Param("folder"), BaseUrl(req.Header("Host"))));
    } else if (path == "/tolvar_save.asp") {
        Xml(res, m_database.DetailDocument(req.Param("save"), BaseUrl(req.Header("Host"))));
    } else if (path.rfind("/saves/", 0) == 0 && path.size() > 7) {
        // The path arrives percent-decoded; a "+" stands for a space, as in
        // the download urls this server writes.
        std::string relative = path.substr(7);
        for (char& c : relative) {
            c = c == '+' ? ' ' : c;
        }
        Bytes(res, m_database.SaveFile(relative));
    } else if (path == "/codelist.bin") {
        Bytes(res, m_database.CodeList());
    } else {
        NotFound(res);
    }
}

void DatabaseServer::Upload(const HttpRequest& req, HttpResponse& res)
{
    // A body that did not arrive whole is never looked at, let alone stored.
    if (req.bodyState == HttpRequest::Body::TooLarge) {
        res.status = 413;
        return Answer(res, false, "the upload is too large");
    }
    if (req.bodyState == HttpRequest::Body::Cut) {
        res.status = 400;
        return Answer(res, false, "the upload did not arrive whole");
    }
    const std::optional<UploadPart> part =
        ParseUploadBody(req.body, BoundaryOf(req.Header("Content-Type")));
    if (!part) {
        return Answer(res, false, "the form could not be read");
    }
    const OnlineDatabase::UploadOutcome outcome =
        m_database.StoreUpload(req.Param("save_name"), req.Param("save_description"), part->bytes);
    if (outcome.stored && m_options.exportTo) {
        std::lock_guard lock(m_exportMutex);
        std::string error;
        if (!StaticExport(m_database, *m_options.exportTo)
                 .WriteFolder(OnlineDatabase::kCommunityFolder, error)) {
            std::fprintf(stderr, "tolvar-server: the export is out of date: %s\n", error.c_str());
        }
    }
    Answer(res, outcome.stored, outcome.reason);
}

} // namespace tolvar::server
