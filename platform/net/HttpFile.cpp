// One request over libcurl. Perform() runs the whole transfer on the calling
// thread with an easy handle of its own; the process-wide share lends it an
// open connection to the same server when there is one. SendAll runs many
// such transfers on one multi handle, a bounded number at a time. A progress callback
// enforces the stall bound and the cancel flag, curl itself the connect and
// total bounds, and the write callback the body limit; the write callback also
// hands the body to the answer sink, when there is one, instead of memory.
#include "platform/net/HttpFile.h"

#include "platform/net/CurlShare.h"
#include "platform/net/InternetException.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <thread>

namespace tolvar::net {
namespace {

using Clock = std::chrono::steady_clock;

struct TransferState
{
    const RequestOptions* options = nullptr;
    std::string* answer = nullptr;
    AnswerSink* sink = nullptr; // takes the body instead of answer when set
    std::uint64_t received = 0;
    const std::string* body = nullptr;
    std::size_t bodyPos = 0;
    Clock::time_point lastMove;
    curl_off_t lastTotal = -1;
    const char* abortReason = nullptr;
};

std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* state = static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    if (state->received + bytes > state->options->timeouts.maxBodyBytes) {
        state->abortReason = "the answer is too large";
        return 0; // makes curl fail the transfer
    }
    state->received += bytes;
    if (state->sink != nullptr) {
        if (!state->sink->Receive(data, bytes)) {
            state->abortReason = "the answer could not be stored";
            return 0;
        }
        return bytes;
    }
    state->answer->append(data, bytes);
    return bytes;
}

std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* user)
{
    auto* state = static_cast<TransferState*>(user);
    const std::size_t room = size * count;
    const std::size_t left = state->body->size() - state->bodyPos;
    const std::size_t n = left < room ? left : room;
    std::memcpy(buffer, state->body->data() + state->bodyPos, n);
    state->bodyPos += n;
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t ulNow)
{
    auto* state = static_cast<TransferState*>(user);
    if (state->options->cancel != nullptr && state->options->cancel->load()) {
        state->abortReason = "the transfer was cancelled";
        return 1;
    }
    const Clock::time_point now = Clock::now();
    const curl_off_t total = dlNow + ulNow;
    if (total != state->lastTotal) {
        state->lastTotal = total;
        state->lastMove = now;
    } else if (now - state->lastMove > state->options->timeouts.stall) {
        state->abortReason = "the transfer stalled";
        return 1;
    }
    return 0;
}

} // namespace

struct EasyHandle
{
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    ~EasyHandle()
    {
        curl_slist_free_all(headers);
        if (curl != nullptr) {
            curl_easy_cleanup(curl);
        }
    }
};

struct CurlTransfer
{
    EasyHandle easy;
    TransferState state;
};

HttpFile::HttpFile(std::string verb, std::string url, RequestOptions options)
    : m_verb(std::move(verb)), m_url(std::move(url)), m_options(options)
{
}

HttpFile::~HttpFile() = default;

bool HttpFile::AddRequestHeaders(const std::string& header)
{
    const std::size_t colon = header.find(':');
    if (colon == std::string::npos || colon == 0 || m_sent ||
        header.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const std::string name = header.substr(0, colon + 1);
    std::size_t pos = 0;
    while (pos < m_headers.size()) {
        std::size_t end = m_headers.find('\n', pos);
        if (end == std::string::npos) {
            end = m_headers.size();
        }
        if (strncasecmp(m_headers.c_str() + pos, name.c_str(), name.size()) == 0) {
            return false; // a header of that name is set already
        }
        pos = end + 1;
    }
    m_headers += header;
    m_headers += '\n';
    return true;
}

void HttpFile::SetAnswerSink(AnswerSink* sink)
{
    if (m_sent) {
        throw InternetException("the request was sent already");
    }
    m_sink = sink;
}

void HttpFile::SendRequest()
{
    m_hasBody = false;
    Perform();
}

void HttpFile::SendRequestEx(std::uint64_t totalLength)
{
    if (m_sent) {
        throw InternetException("the request was sent already");
    }
    if (totalLength > m_options.timeouts.maxBodyBytes) {
        throw InternetException("the request body is too large");
    }
    m_hasBody = true;
    m_declaredLength = totalLength;
    m_body.clear();
    m_body.reserve(static_cast<std::size_t>(totalLength));
}

void HttpFile::Write(const void* data, std::size_t length)
{
    if (!m_hasBody || m_sent) {
        throw InternetException("no request body was started");
    }
    if (m_body.size() + length > m_declaredLength) {
        throw InternetException("more bytes written than the request announced");
    }
    m_body.append(static_cast<const char*>(data), length);
}

void HttpFile::EndRequest()
{
    if (!m_hasBody) {
        throw InternetException("no request body was started");
    }
    if (m_body.size() != m_declaredLength) {
        throw InternetException("fewer bytes written than the request announced");
    }
    Perform();
}

void HttpFile::Perform()
{
    std::unique_ptr<CurlTransfer> transfer = BeginTransfer();
    const CURLcode result = curl_easy_perform(transfer->easy.curl);
    EndTransfer(*transfer, result);
    if (!m_pendingError.empty() && (m_sink != nullptr || m_answer.empty())) {
        ThrowPendingAtEnd();
    }
}

std::unique_ptr<CurlTransfer> HttpFile::BeginTransfer()
{
    if (m_sent) {
        throw InternetException("the request was sent already");
    }
    m_sent = true;
    auto transfer = std::make_unique<CurlTransfer>();
    EasyHandle& easy = transfer->easy;
    if (easy.curl == nullptr) {
        throw InternetException("cannot start a transfer");
    }
    CURL* c = easy.curl;
    CurlShare(); // also initialises libcurl before the first handle is used
    TransferState& state = transfer->state;
    state.options = &m_options;
    state.answer = &m_answer;
    state.sink = m_sink;
    state.body = &m_body;
    state.lastMove = Clock::now();

    curl_easy_setopt(c, CURLOPT_SHARE, CurlShare());
    curl_easy_setopt(c, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    // Documents may come gzipped; curl inflates them before OnWrite sees them,
    // so the body limit counts what the reader gets.
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(m_options.timeouts.connect.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(m_options.timeouts.total.count()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &state);
    if (m_verb == "POST" && m_hasBody) {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(c, CURLOPT_READDATA, &state);
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
    } else if (m_verb != "GET") {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    }
    // curl would announce "Expect: 100-continue" for large bodies and wait on
    // servers that ignore it, and add an Accept header nobody asked for.
    easy.headers = curl_slist_append(easy.headers, "Expect:");
    easy.headers = curl_slist_append(easy.headers, "Accept:");
    std::size_t pos = 0;
    while (pos < m_headers.size()) {
        const std::size_t end = m_headers.find('\n', pos);
        easy.headers = curl_slist_append(easy.headers, m_headers.substr(pos, end - pos).c_str());
        pos = end + 1;
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, easy.headers);
    return transfer;
}

void HttpFile::EndTransfer(CurlTransfer& transfer, int curlResult)
{
    const auto result = static_cast<CURLcode>(curlResult);
    long status = 0;
    curl_easy_getinfo(transfer.easy.curl, CURLINFO_RESPONSE_CODE, &status);
    m_status = static_cast<int>(status);
    if (result != CURLE_OK) {
        std::string error = transfer.state.abortReason != nullptr ? transfer.state.abortReason
                                                                  : curl_easy_strerror(result);
        error += " (" + m_url + ")";
        m_pendingError = error;
    }
}

void HttpFile::SendAll(const std::vector<HttpFile*>& files, int connections, bool multiplexed)
{
    // A server may close an HTTP/2 connection after some requests (nginx
    // after 1,000), and a request that then needed a new one would go as
    // HTTP/1.1: each connection takes no more than this many, and the
    // connections of a long list run side by side, sharing it evenly.
    constexpr std::size_t kRequestsPerConnection = 900;
    if (multiplexed && files.size() > kRequestsPerConnection) {
        const std::size_t parts =
            (files.size() + kRequestsPerConnection - 1) / kRequestsPerConnection;
        const std::size_t each = (files.size() + parts - 1) / parts;
        std::vector<std::thread> others;
        for (std::size_t at = 0; at < files.size(); at += each) {
            std::vector<HttpFile*> part(
                files.begin() + static_cast<std::ptrdiff_t>(at),
                files.begin() + static_cast<std::ptrdiff_t>(std::min(files.size(), at + each)));
            if (at + each >= files.size()) {
                SendAll(part, connections, true);
            } else {
                others.emplace_back(
                    [part = std::move(part), connections] { SendAll(part, connections, true); });
            }
        }
        for (std::thread& other : others) {
            other.join();
        }
        return;
    }
    const std::size_t slots = static_cast<std::size_t>(std::max(connections, 1));
    CurlShare();
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) {
        for (HttpFile* file : files) {
            file->m_sent = true;
            file->m_pendingError = "cannot start a transfer (" + file->m_url + ")";
        }
        return;
    }
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, static_cast<long>(slots));
    if (multiplexed) {
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 1L);
    }
    std::vector<std::unique_ptr<CurlTransfer>> running(files.size());
    std::size_t next = 0;
    std::size_t active = 0;
    auto startMore = [&] {
        while (active < slots && next < files.size()) {
            HttpFile* file = files[next];
            try {
                running[next] = file->BeginTransfer();
            } catch (const InternetException& e) {
                file->m_pendingError = std::string(e.what()) + " (" + file->m_url + ")";
                ++next;
                continue;
            }
            CURL* easy = running[next]->easy.curl;
            curl_easy_setopt(easy, CURLOPT_PRIVATE, reinterpret_cast<char*>(next));
            if (multiplexed) {
                // The first request opens the connection as HTTP/2; the others
                // wait for it rather than open another. Only the first asks
                // for HTTP/2 from the start: libcurl 7.88 fails a reused
                // connection for a request that does (its issue 10634).
                curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                                 next == 0 ? CURL_HTTP_VERSION_2_PRIOR_KNOWLEDGE
                                           : CURL_HTTP_VERSION_2_0);
                curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
                // The streams share the multi handle's connection, not the
                // process-wide cache, which does not multiplex.
                curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(nullptr));
            }
            curl_multi_add_handle(multi, easy);
            ++next;
            ++active;
        }
    };
    startMore();
    while (active > 0) {
        int stillRunning = 0;
        if (curl_multi_perform(multi, &stillRunning) != CURLM_OK) {
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            CURL* easy = message->easy_handle;
            const CURLcode result = message->data.result;
            char* index = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, &index);
            const auto at = reinterpret_cast<std::uintptr_t>(index);
            curl_multi_remove_handle(multi, easy);
            files[at]->EndTransfer(*running[at], result);
            running[at].reset();
            --active;
        }
        startMore();
        if (active > 0) {
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
    }
    // Only a failing multi handle leaves transfers behind, or unsent.
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (running[i]) {
            curl_multi_remove_handle(multi, running[i]->easy.curl);
        }
        if (running[i] || i >= next) {
            files[i]->m_sent = true;
            files[i]->m_pendingError = "the transfer did not end (" + files[i]->m_url + ")";
        }
    }
    curl_multi_cleanup(multi);
}

void HttpFile::Fail(const std::string& reason)
{
    m_sent = true;
    m_pendingError = reason;
}

void HttpFile::ThrowPendingAtEnd()
{
    if (!m_pendingError.empty()) {
        std::string error;
        error.swap(m_pendingError);
        throw InternetException(error);
    }
}

bool HttpFile::ReadString(std::string& line)
{
    line.clear();
    if (m_readPos >= m_answer.size()) {
        ThrowPendingAtEnd();
        return false;
    }
    const std::size_t end = m_answer.find_first_of("\r\n", m_readPos);
    if (end == std::string::npos) {
        // The last line of a transfer that broke off may be cut short: the
        // failure is raised rather than handing out half a line.
        if (!m_pendingError.empty()) {
            m_readPos = m_answer.size();
            ThrowPendingAtEnd();
        }
        line.assign(m_answer, m_readPos, std::string::npos);
        m_readPos = m_answer.size();
        return true;
    }
    line.assign(m_answer, m_readPos, end - m_readPos);
    m_readPos = end + 1;
    if (m_answer[end] == '\r' && m_readPos < m_answer.size() && m_answer[m_readPos] == '\n') {
        ++m_readPos;
    }
    return true;
}

std::size_t HttpFile::Read(void* buffer, std::size_t count)
{
    const std::size_t left = m_answer.size() - m_readPos;
    if (left == 0) {
        ThrowPendingAtEnd();
        return 0;
    }
    const std::size_t n = left < count ? left : count;
    std::memcpy(buffer, m_answer.data() + m_readPos, n);
    m_readPos += n;
    return n;
}

void HttpFile::Close()
{
    m_answer.clear();
    m_answer.shrink_to_fit();
    m_readPos = 0;
    m_pendingError.clear();
}

} // namespace tolvar::net
