#pragma once

#include "platform/net/NetTimeouts.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tolvar {

// The addresses of the three online services, read from the settings page.
// One process-wide store (TheServerSettings) serves the program; tests make
// their own. The getters answer empty strings until a page was read whole.
class ServerSettings
{
public:
    explicit ServerSettings(std::string pageAddress);
    ~ServerSettings(); // waits for a load StartLoad began

    // Fetches the settings page; true when it was read to its end.
    bool Load();
    // Load on a thread of its own, so that the window need not wait for the
    // page. Every getter and Load wait until it has ended. The message Load
    // would show goes to tell instead, on that thread, before the getters
    // answer. A held load waits, a few seconds at most, for Release or for
    // someone to ask for an address, so that it need not share the processor
    // with the window's first frame.
    void StartLoad(std::function<void(const std::string&)> tell, bool held = false);
    void Release();

    std::string GetSavesUrl() const;
    std::string GetUploadUrl() const;
    std::string GetCodeListUrl() const;
    bool IsLoaded() const;
    // Forgets every address read, as before the first Load; the page address stays.
    void Clear();

    // One line of the page, without its line end.
    void ApplyLine(const std::string& line);

    std::string GetPageAddress() const;
    void SetPageAddress(std::string address);

    // Load runs on the UI thread at start-up, so a silent server must not
    // hold the program longer than these bounds allow (10 s in all).
    void SetTimeouts(const net::NetTimeouts& timeouts);
    static net::NetTimeouts DefaultTimeouts();

private:
    // Load without its message box: the text for it, or empty.
    bool Fetch(std::string& message);
    std::string Loaded(const std::string& value) const;
    // With the lock held, until no StartLoad is under way.
    void WaitForLoad(std::unique_lock<std::mutex>& lock) const;

    // Load may run on a worker while the UI thread reads an address.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_loadEnded;
    bool m_loading = false;      // a StartLoad is under way
    mutable bool m_held = false; // and waits for Release or a getter
    bool m_dropHeld = false;     // the store went while the load was held
    std::thread m_loader;
    bool m_loaded = false;
    std::string m_pageAddress;
    std::string m_savesUrl;
    std::string m_uploadUrl;
    std::string m_codeListUrl;
    net::NetTimeouts m_timeouts;
};

ServerSettings& TheServerSettings();

bool LoadServerSettings();
std::string GetSavesUrl();
std::string GetUploadUrl();
std::string GetCodeListUrl();

// Form-value encoding: letters and digits stay, a space becomes "+", every
// other byte "%XX". An absent or empty text gives "%00".
std::string UrlEncode(const char* text);

} // namespace tolvar
