#include "online/ServerSettings.h"

#include "platform/base/MessageBox.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"

#include <chrono>
#include <cstring>

#ifndef TOLVAR_SETTINGS_URL
#define TOLVAR_SETTINGS_URL "http://127.0.0.1:8642/tolvar_settings.asp"
#endif

namespace tolvar {

ServerSettings::ServerSettings(std::string pageAddress)
    : m_pageAddress(std::move(pageAddress)), m_timeouts(DefaultTimeouts())
{
}

net::NetTimeouts ServerSettings::DefaultTimeouts()
{
    net::NetTimeouts timeouts = net::DefaultNetTimeouts();
    timeouts.connect = std::chrono::seconds(5);
    timeouts.stall = std::chrono::seconds(5);
    timeouts.total = std::chrono::seconds(10);
    timeouts.maxBodyBytes = 1024 * 1024; // a page of three addresses
    return timeouts;
}

void ServerSettings::SetTimeouts(const net::NetTimeouts& timeouts)
{
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
}

std::string ServerSettings::GetPageAddress() const
{
    std::lock_guard lock(m_mutex);
    return m_pageAddress;
}

void ServerSettings::SetPageAddress(std::string address)
{
    std::lock_guard lock(m_mutex);
    m_pageAddress = std::move(address);
}

ServerSettings::~ServerSettings()
{
    // A load still held is dropped: the program is ending, and a fetch
    // begun now would outlive the libraries it uses.
    {
        std::lock_guard lock(m_mutex);
        m_dropHeld = m_held;
        m_held = false;
    }
    m_loadEnded.notify_all();
    if (m_loader.joinable()) {
        m_loader.join();
    }
}

void ServerSettings::WaitForLoad(std::unique_lock<std::mutex>& lock) const
{
    // Whoever waits for the page wants it now.
    if (m_held) {
        m_held = false;
        m_loadEnded.notify_all();
    }
    m_loadEnded.wait(lock, [this] { return !m_loading; });
}

void ServerSettings::Release()
{
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_loadEnded.notify_all();
}

bool ServerSettings::Load()
{
    {
        std::unique_lock lock(m_mutex);
        WaitForLoad(lock); // one read of the page at a time
    }
    std::string message;
    const bool loaded = Fetch(message);
    if (!message.empty()) {
        AfxMessageBox(message.c_str(), MB_OK);
    }
    return loaded;
}

void ServerSettings::StartLoad(std::function<void(const std::string&)> tell, bool held)
{
    std::unique_lock lock(m_mutex);
    WaitForLoad(lock);
    if (m_loader.joinable()) {
        m_loader.join(); // it has ended
    }
    m_loading = true;
    m_held = held;
    m_loader = std::thread([this, tell = std::move(tell)] {
        bool dropped = false;
        {
            std::unique_lock waiting(m_mutex);
            m_loadEnded.wait_for(waiting, std::chrono::seconds(3), [this] { return !m_held; });
            m_held = false;
            dropped = m_dropHeld;
        }
        std::string message;
        if (!dropped) {
            Fetch(message);
        }
        if (!message.empty() && tell) {
            tell(message);
        }
        {
            std::lock_guard ended(m_mutex);
            m_loading = false;
        }
        m_loadEnded.notify_all();
    });
}

bool ServerSettings::Fetch(std::string& message)
{
    // No connectivity check first: this system has no dial-up connection to
    // bring up, and the request itself tells whether the server answers.
    std::string address;
    net::NetTimeouts timeouts;
    {
        std::lock_guard lock(m_mutex);
        address = m_pageAddress;
        timeouts = m_timeouts;
    }
    try {
        net::InternetSession session(timeouts);
        std::unique_ptr<net::HttpFile> file = session.OpenUrl(address);
        if (!file) {
            message = "Could not connect to online server";
            session.Close();
            return false;
        }
        std::string line;
        while (file->ReadString(line)) {
            ApplyLine(line);
        }
        file->Close();
        {
            std::lock_guard lock(m_mutex);
            m_loaded = true;
        }
        session.Close();
        return true;
    } catch (const net::InternetException&) {
        return false;
    }
}

void ServerSettings::ApplyLine(const std::string& line)
{
    // Keys are matched in the first column and case-sensitively; the value is
    // the rest of the line, untrimmed. A line shorter than 11 characters is
    // skipped, so an empty "SAVES_URL=" keeps the earlier address while an
    // empty "UPLOAD_URL=" or "CODELIST_URL=" clears it.
    if (line.size() < 11) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (line.compare(0, 10, "SAVES_URL=") == 0) {
        m_savesUrl = line.substr(10);
    } else if (line.compare(0, 11, "UPLOAD_URL=") == 0) {
        m_uploadUrl = line.substr(11);
    } else if (line.size() >= 13 && line.compare(0, 13, "CODELIST_URL=") == 0) {
        m_codeListUrl = line.substr(13);
    }
}

std::string ServerSettings::Loaded(const std::string& value) const
{
    return m_loaded ? value : std::string();
}

std::string ServerSettings::GetSavesUrl() const
{
    std::unique_lock lock(m_mutex);
    WaitForLoad(lock);
    return Loaded(m_savesUrl);
}

std::string ServerSettings::GetUploadUrl() const
{
    std::unique_lock lock(m_mutex);
    WaitForLoad(lock);
    return Loaded(m_uploadUrl);
}

std::string ServerSettings::GetCodeListUrl() const
{
    std::unique_lock lock(m_mutex);
    WaitForLoad(lock);
    return Loaded(m_codeListUrl);
}

bool ServerSettings::IsLoaded() const
{
    std::unique_lock lock(m_mutex);
    WaitForLoad(lock);
    return m_loaded;
}

void ServerSettings::Clear()
{
    std::lock_guard lock(m_mutex);
    m_loaded = false;
    m_savesUrl.clear();
    m_uploadUrl.clear();
    m_codeListUrl.clear();
}

ServerSettings& TheServerSettings()
{
    static ServerSettings settings(TOLVAR_SETTINGS_URL);
    return settings;
}

bool LoadServerSettings()
{
    return TheServerSettings().Load();
}

std::string GetSavesUrl()
{
    return TheServerSettings().GetSavesUrl();
}

std::string GetUploadUrl()
{
    return TheServerSettings().GetUploadUrl();
}

std::string GetCodeListUrl()
{
    return TheServerSettings().GetCodeListUrl();
}

std::string UrlEncode(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return "%00";
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(std::strlen(text) * 3);
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
            (byte >= 'A' && byte <= 'Z')) {
            out += static_cast<char>(byte);
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

} // namespace tolvar
