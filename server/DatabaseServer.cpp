#include "server/DatabaseServer.h"

#include "server/UploadForm.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <fstream>

namespace tolvar::server {
namespace {

constexpr std::size_t kMaxUploadBody = OnlineDatabase::kMaxSaveBytes + 64 * 1024;

bool ReadFile(const std::filesystem::path& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void NotFound(httplib::Response& res)
{
    res.status = 404;
    res.set_content("not found\r\n", "text/plain");
}

void Answer(httplib::Response& res, bool stored, const std::string& reason)
{
    res.set_content(stored ? std::string("Result=1\r\n") : "Result=0\r\nReason=" + reason + "\r\n",
                    "text/plain");
}

} // namespace

bool IsLoopbackHost(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

DatabaseServer::DatabaseServer(const ServerOptions& options)
    : m_options(options)
    , m_database(options.root)
    , m_http(std::make_unique<httplib::Server>())
{
    Route();
}

DatabaseServer::~DatabaseServer() = default;

int DatabaseServer::Bind()
{
    if (!IsLoopbackHost(m_options.host)) {
        return -1;
    }
    if (m_options.port == 0) {
        m_port = m_http->bind_to_any_port(m_options.host);
    } else {
        m_port = m_http->bind_to_port(m_options.host, m_options.port) ? m_options.port : -1;
    }
    return m_port;
}

bool DatabaseServer::Run()
{
    return m_port > 0 && m_http->listen_after_bind();
}

void DatabaseServer::Stop()
{
    m_http->stop();
}

std::string DatabaseServer::BaseUrl(const std::string& hostHeader) const
{
    // The addresses handed out name the host the client used, when its
    // header is a plain host and port; otherwise the address served.
    bool plain = !hostHeader.empty() && hostHeader.size() <= 255;
    for (char c : hostHeader) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        plain = plain && ok;
    }
    if (plain) {
        return "http://" + hostHeader;
    }
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port);
}

void DatabaseServer::Route()
{
    httplib::Server& http = *m_http;
    const int threads = m_options.threads > 0 ? m_options.threads : 1;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    http.set_read_timeout(m_options.timeoutSeconds, 0);
    http.set_write_timeout(m_options.timeoutSeconds, 0);
    http.set_keep_alive_timeout(m_options.timeoutSeconds);
    http.set_keep_alive_max_count(1000);
    http.set_payload_max_length(kMaxUploadBody);
    // Headers and body go out in separate writes; without this each answer
    // on a kept-alive connection waits for the delayed acknowledgement.
    // Accepted sockets inherit the option from the listening one.
    http.set_socket_options([](socket_t sock) {
        int on = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    });

    http.Get("/tolvar_settings.asp", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string base = BaseUrl(req.get_header_value("Host"));
        res.set_content("SAVES_URL=" + base + "/tolvar_list.asp?folder=\r\n" +
                            "UPLOAD_URL=" + base + "/tolvar_upload.asp?\r\n" +
                            "CODELIST_URL=" + base + "/codelist.bin\r\n",
                        "text/plain");
    });

    http.Get("/tolvar_list.asp", [this](const httplib::Request& req, httplib::Response& res) {
        const auto doc =
            m_database.ListDocument(req.get_param_value("folder"), BaseUrl(req.get_header_value("Host")));
        if (!doc) {
            return NotFound(res);
        }
        res.set_content(*doc, "text/xml");
    });

    http.Get("/tolvar_save.asp", [this](const httplib::Request& req, httplib::Response& res) {
        const auto doc =
            m_database.DetailDocument(req.get_param_value("save"), BaseUrl(req.get_header_value("Host")));
        if (!doc) {
            return NotFound(res);
        }
        res.set_content(*doc, "text/xml");
    });

    http.Get(R"(/saves/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        // The path arrives percent-decoded; a "+" stands for a space, as in
        // the download urls this server writes.
        std::string path = req.matches[1];
        for (char& c : path) {
            if (c == '+') {
                c = ' ';
            }
        }
        std::string bytes;
        const auto file = m_database.SaveFile(path);
        if (!file || !ReadFile(*file, bytes)) {
            return NotFound(res);
        }
        res.set_content(bytes, "application/octet-stream");
    });

    http.Get("/codelist.bin", [this](const httplib::Request&, httplib::Response& res) {
        std::string bytes;
        const auto file = m_database.CodeList();
        if (!file || !ReadFile(*file, bytes)) {
            return NotFound(res);
        }
        res.set_content(bytes, "application/octet-stream");
    });

    http.Post("/tolvar_upload.asp", [this](const httplib::Request& req, httplib::Response& res,
                                           const httplib::ContentReader& reader) {
        const std::string boundary = BoundaryOf(req.get_header_value("Content-Type"));
        // httplib would parse a multipart body itself and fail on the bare
        // boundary lines the companion writes; without the header it hands
        // over the raw body. The request object is not const where it lives.
        const_cast<httplib::Headers&>(req.headers).erase("Content-Type");
        std::string body;
        bool tooLarge = false;
        reader([&](const char* data, std::size_t length) {
            if (body.size() + length > kMaxUploadBody) {
                tooLarge = true;
                return false;
            }
            body.append(data, length);
            return true;
        });
        if (tooLarge) {
            return Answer(res, false, "the upload is too large");
        }
        const std::optional<UploadPart> part = ParseUploadBody(body, boundary);
        if (!part) {
            return Answer(res, false, "the form could not be read");
        }
        const OnlineDatabase::UploadOutcome outcome = m_database.StoreUpload(
            req.get_param_value("save_name"), req.get_param_value("save_description"), part->bytes);
        Answer(res, outcome.stored, outcome.reason);
    });
}

} // namespace tolvar::server
