#include "server/DatabaseServer.h"

#include "server/HomePage.h"
#include "server/UploadForm.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace tolvar::server {
namespace {

namespace fs = std::filesystem;

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

std::string Joined(const std::vector<std::string>& pieces)
{
    std::size_t size = 0;
    for (const std::string& piece : pieces) {
        size += piece.size();
    }
    std::string whole;
    whole.reserve(size);
    for (const std::string& piece : pieces) {
        whole += piece;
    }
    return whole;
}

void Html(HttpResponse& res, std::optional<std::string> page)
{
    if (!page) {
        return NotFound(res);
    }
    res.contentType = "text/html; charset=utf-8";
    res.body = std::move(*page);
    res.compressible = true;
}

} // namespace

bool IsLoopbackHost(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

namespace {

// The host of a Host header or of an address's authority, without its port.
std::string HostName(std::string authority)
{
    if (const std::size_t scheme = authority.find("://"); scheme != std::string::npos) {
        authority = authority.substr(scheme + 3);
    }
    authority = authority.substr(0, authority.find('/'));
    if (!authority.empty() && authority.front() == '[') {
        return authority.substr(1, authority.find(']') - 1);
    }
    const std::size_t colon = authority.find(':');
    return colon != std::string::npos && authority.find(':', colon + 1) == std::string::npos
               ? authority.substr(0, colon)
               : authority;
}

std::string Origin(const std::string& url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t end = scheme == std::string::npos ? url.npos : url.find('/', scheme + 3);
    std::string origin = url.substr(0, end);
    for (char& c : origin) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return origin;
}

std::uint64_t FolderBytes(const fs::path& folder)
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            const auto size = it->file_size(sizeError);
            total += sizeError ? 0 : size;
        }
    }
    return total;
}

} // namespace

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

std::string DatabaseServer::BaseUrl() const
{
    // Never a request's Host: a document must not carry what a client wrote.
    if (!m_options.publicUrl.empty()) {
        return m_options.publicUrl;
    }
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port);
}

void DatabaseServer::ListDocument(const std::string& folder, bool gzipOk, HttpResponse& res)
{
    // While the folder itself is unchanged (an upload renames into it) a
    // big document is kept, and a description edited in place shows within
    // the minute. Kept ones are packed fast: the first client waits for it.
    // Megabytes are copied only for a client that takes them unpacked.
    constexpr std::size_t kKeptFrom = 256 * 1024;
    constexpr std::size_t kKeptBytes = 256u << 20;
    const std::optional<std::string> stamp = m_database.FolderStamp(folder);
    if (!stamp) {
        return NotFound(res);
    }
    const auto now = std::chrono::steady_clock::now();
    const auto fromKept = [&] {
        std::lock_guard lock(m_listsMutex);
        const auto it = m_lists.find(folder);
        if (it == m_lists.end() || it->second.stamp != *stamp ||
            now - it->second.made >= std::chrono::minutes(1)) {
            return false;
        }
        res.contentType = "text/xml";
        res.compressible = true;
        res.body =
            gzipOk && !it->second.gzipped.empty() ? std::string() : Joined(it->second.document);
        res.gzipped = it->second.gzipped;
        return true;
    };
    if (fromKept()) {
        return;
    }
    // Many clients asking for one big folder at once wait for one build.
    std::shared_ptr<std::mutex> building;
    {
        std::lock_guard lock(m_listsMutex);
        auto& slot = m_building[folder];
        slot = slot ? slot : std::make_shared<std::mutex>();
        building = slot;
        if (m_building.size() > 1000) {
            m_building.clear();
        }
    }
    std::lock_guard buildLock(*building);
    if (fromKept()) {
        return;
    }
    // A big document's pieces are packed as they are written, each by the
    // thread that wrote it.
    std::optional<GzipPieces> packer;
    std::once_flag packing;
    std::optional<std::vector<std::string>> pieces = m_database.ListDocument(
        folder, ServerLinks(BaseUrl()),
        [&](std::size_t k, std::size_t count, const std::string& piece) {
            if (count > 1) {
                std::call_once(packing, [&] { packer.emplace(count, true); });
                packer->Pack(k, piece);
            }
        });
    if (!pieces) {
        return NotFound(res);
    }
    std::size_t size = 0;
    for (const std::string& piece : *pieces) {
        size += piece.size();
    }
    if (size < kKeptFrom) {
        Xml(res, Joined(*pieces));
        // Packed already, it is not packed again for the client.
        res.gzipped = packer && gzipOk ? packer->Join() : std::string();
        return;
    }
    std::string gzipped = packer ? packer->Join() : Gzip(Joined(*pieces), true);
    const bool packedOnly = gzipOk && !gzipped.empty();
    std::string body = packedOnly ? std::string() : Joined(*pieces);
    KeptList kept{*stamp, now, std::move(*pieces), std::move(gzipped)};
    res.gzipped = kept.gzipped;
    {
        std::lock_guard lock(m_listsMutex);
        std::size_t total = size + kept.gzipped.size();
        for (const auto& [name, list] : m_lists) {
            for (const std::string& piece : list.document) {
                total += name == folder ? 0 : piece.size();
            }
            total += name == folder ? 0 : list.gzipped.size();
        }
        if (total > kKeptBytes) {
            m_lists.clear();
        }
        m_lists[folder] = std::move(kept);
    }
    Xml(res, std::move(body));
}

long DatabaseServer::UploadWait(const std::string& address)
{
    using namespace std::chrono;
    const steady_clock::time_point now = steady_clock::now();
    std::lock_guard lock(m_uploadsMutex);
    std::deque<steady_clock::time_point>& times = m_uploads[address];
    while (!times.empty() && now - times.front() >= hours(1)) {
        times.pop_front();
    }
    if (times.size() >= static_cast<std::size_t>(std::max(0, m_options.uploadsPerHour))) {
        return std::max<long>(1, duration_cast<seconds>(times.front() + hours(1) - now).count());
    }
    times.push_back(now);
    if (m_uploads.size() > 100000) {
        std::erase_if(m_uploads, [](const auto& entry) { return entry.second.empty(); });
    }
    return 0;
}

void DatabaseServer::Serve(const HttpRequest& req, HttpResponse& res)
{
    const std::string& path = req.path;
    // A body that did not arrive whole is never looked at, let alone stored.
    if (req.bodyState == HttpRequest::Body::TooLarge) {
        res.status = 413;
        return Answer(res, false, "the upload is too large");
    }
    if (req.bodyState == HttpRequest::Body::Cut) {
        res.status = 400;
        return Answer(res, false, "the upload did not arrive whole");
    }
    // A server on loopback answers only loopback names: a page elsewhere
    // reaching it through a name it resolved to 127.0.0.1 is turned away.
    const std::string host = req.Header("Host");
    if (!host.empty() && !IsLoopbackHost(HostName(host))) {
        m_http.Limits().Note(req.peer, "a request for another host was refused");
        res.status = 403;
        res.close = true;
        return Answer(res, false, "this server answers only its own address");
    }
    if (req.method == "POST" && path == "/tolvar_upload.asp") {
        return Upload(req, res);
    }
    if (req.method != "GET" && req.method != "HEAD") {
        res.status = 405;
        res.body = "method not allowed\r\n";
        return;
    }
    if (path == "/tolvar_settings.asp") {
        const std::string base = BaseUrl();
        res.body = SettingsPage(ServerLinks(base), base, base);
    } else if (path == "/" || path == "/index.html") {
        Html(res, HomePage(m_database, PageLinks{}));
    } else if (path == "/folder.html") {
        const std::string page = req.Param("page");
        Html(res, FolderPage(m_database, req.Param("folder"),
                             page.empty() ? 1 : std::atoi(page.c_str()), PageLinks{}));
    } else if (path == "/search") {
        Html(res, SearchPage(m_database, req.Param("q").substr(0, 100), PageLinks{}));
    } else if (path == "/tolvar_list.asp") {
        ListDocument(req.Param("folder"), req.AcceptsGzip(), res);
    } else if (path == "/tolvar_save.asp") {
        Xml(res, m_database.DetailDocument(req.Param("save"), BaseUrl()));
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
    // Behind the proxy on this machine, the client is the one it names.
    const std::string realIp = req.Header("X-Real-IP");
    const std::string address =
        IsLoopbackHost(req.peer) && !realIp.empty() && realIp.size() < 64 ? realIp : req.peer;
    // Browsers name the page that posts; the companion names none.
    const std::string origin = req.Header("Origin");
    if (!origin.empty() && Origin(origin) != Origin(BaseUrl())) {
        m_http.Limits().Note(address, "an upload from another site was refused");
        res.status = 403;
        return Answer(res, false, "uploads come only from this site");
    }
    if (const long wait = UploadWait(address); wait > 0) {
        m_http.Limits().Note(address, "too many uploads");
        res.status = 429;
        res.headers.emplace_back("Retry-After", std::to_string(wait));
        return Answer(res, false, "too many uploads from this address; try again later");
    }
    const fs::path community = m_database.Root() / OnlineDatabase::kCommunityFolder;
    if (FolderBytes(community) + req.body.size() > m_options.communityQuota) {
        m_http.Limits().Note("*", "the community folder is full");
        return Answer(res, false, "the community folder is full");
    }
    struct statvfs disk
    {
    };
    if (statvfs(m_database.Root().c_str(), &disk) == 0 &&
        static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize <
            m_options.diskReserve + req.body.size()) {
        m_http.Limits().Note("*", "the disk is nearly full");
        return Answer(res, false, "the server is short of disk space");
    }
    const std::optional<UploadPart> part =
        ParseUploadBody(req.body, BoundaryOf(req.Header("Content-Type")));
    if (!part) {
        return Answer(res, false, "the form could not be read");
    }
    const OnlineDatabase::UploadOutcome outcome =
        m_database.StoreUpload(req.Param("save_name"), req.Param("save_description"), part->bytes);
    if (outcome.stored) {
        m_database.LogUpload(std::string(OnlineDatabase::kCommunityFolder) + "/" +
                                 outcome.storedName,
                             part->bytes.size(), address);
    }
    if (outcome.stored && m_options.exportTo) {
        std::lock_guard lock(m_exportMutex);
        std::string error;
        if (!StaticExport(m_database, *m_options.exportTo)
                 .WriteSave(OnlineDatabase::kCommunityFolder, outcome.storedName, error)) {
            std::fprintf(stderr, "tolvar-server: the export is out of date: %s\n", error.c_str());
        }
    }
    Answer(res, outcome.stored, outcome.reason);
}

} // namespace tolvar::server
