// The curl functions the program calls, each forwarding to libcurl loaded
// with dlopen on first use: libcurl and the thirty libraries it needs took
// longer to load than the rest of the program's start, which needs none of
// them, so the program does not link it. A libcurl that cannot be
// loaded makes every call fail as an unusable library would: null handles
// and CURLE_FAILED_INIT, which the callers already report as a failed
// connection.
#define CURL_DISABLE_TYPECHECK // the option macros would rename what is defined here

#include "platform/base/LibrarySymbol.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <mutex>

namespace {

struct Functions
{
    CURLcode (*global_init)(long);
    CURL* (*easy_init)();
    void (*easy_cleanup)(CURL*);
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    CURLcode (*easy_perform)(CURL*);
    const char* (*easy_strerror)(CURLcode);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
    CURLSH* (*share_init)();
    CURLSHcode (*share_setopt)(CURLSH*, CURLSHoption, ...);
    CURLM* (*multi_init)();
    CURLMcode (*multi_setopt)(CURLM*, CURLMoption, ...);
    CURLMcode (*multi_add_handle)(CURLM*, CURL*);
    CURLMcode (*multi_remove_handle)(CURLM*, CURL*);
    CURLMcode (*multi_perform)(CURLM*, int*);
    CURLMcode (*multi_poll)(CURLM*, curl_waitfd[], unsigned, int, int*);
    CURLMsg* (*multi_info_read)(CURLM*, int*);
    CURLMcode (*multi_cleanup)(CURLM*);
    bool loaded;
};

std::atomic<bool> g_loaded{false}; // whether the load has been tried

Functions Load()
{
    Functions f{};
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return f;
    }
    f.loaded = tolvar::FindSymbol(library, "curl_global_init", f.global_init) &&
               tolvar::FindSymbol(library, "curl_easy_init", f.easy_init) &&
               tolvar::FindSymbol(library, "curl_easy_cleanup", f.easy_cleanup) &&
               tolvar::FindSymbol(library, "curl_easy_setopt", f.easy_setopt) &&
               tolvar::FindSymbol(library, "curl_easy_getinfo", f.easy_getinfo) &&
               tolvar::FindSymbol(library, "curl_easy_perform", f.easy_perform) &&
               tolvar::FindSymbol(library, "curl_easy_strerror", f.easy_strerror) &&
               tolvar::FindSymbol(library, "curl_slist_append", f.slist_append) &&
               tolvar::FindSymbol(library, "curl_slist_free_all", f.slist_free_all) &&
               tolvar::FindSymbol(library, "curl_share_init", f.share_init) &&
               tolvar::FindSymbol(library, "curl_share_setopt", f.share_setopt) &&
               tolvar::FindSymbol(library, "curl_multi_init", f.multi_init) &&
               tolvar::FindSymbol(library, "curl_multi_setopt", f.multi_setopt) &&
               tolvar::FindSymbol(library, "curl_multi_add_handle", f.multi_add_handle) &&
               tolvar::FindSymbol(library, "curl_multi_remove_handle", f.multi_remove_handle) &&
               tolvar::FindSymbol(library, "curl_multi_perform", f.multi_perform) &&
               tolvar::FindSymbol(library, "curl_multi_poll", f.multi_poll) &&
               tolvar::FindSymbol(library, "curl_multi_info_read", f.multi_info_read) &&
               tolvar::FindSymbol(library, "curl_multi_cleanup", f.multi_cleanup);
    // Initialised once here, before any other thread can reach a handle:
    // libcurl's own initialisation is not safe to race.
    f.loaded = f.loaded && f.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    g_loaded = true;
    return f;
}

const Functions& Curl()
{
    static const Functions functions = Load(); // waits while another thread loads
    return functions;
}

// The option's type is told by its number, as libcurl reads it.
template <typename Call> auto WithOption(long option, va_list args, Call call)
{
    if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) {
        return call(va_arg(args, curl_off_t));
    }
    if (option >= CURLOPTTYPE_FUNCTIONPOINT && option < CURLOPTTYPE_OFF_T) {
        return call(va_arg(args, void (*)()));
    }
    if (option >= CURLOPTTYPE_OBJECTPOINT) {
        return call(va_arg(args, void*));
    }
    return call(va_arg(args, long));
}

} // namespace

extern "C" {

CURLcode curl_global_init(long)
{
    // Done once by the load; the callers only ask whether it can be used.
    // Until a request loads it the answer is yes: a library that then fails
    // to load fails that request, reported as a failed connection.
    if (!g_loaded) {
        return CURLE_OK;
    }
    return Curl().loaded ? CURLE_OK : CURLE_FAILED_INIT;
}

CURL* curl_easy_init()
{
    return Curl().loaded ? Curl().easy_init() : nullptr;
}

void curl_easy_cleanup(CURL* handle)
{
    if (Curl().loaded) {
        Curl().easy_cleanup(handle);
    }
}

CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...)
{
    if (!Curl().loaded) {
        return CURLE_FAILED_INIT;
    }
    va_list args;
    va_start(args, option);
    const CURLcode result = WithOption(
        option, args, [&](auto value) { return Curl().easy_setopt(handle, option, value); });
    va_end(args);
    return result;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...)
{
    if (!Curl().loaded) {
        return CURLE_FAILED_INIT;
    }
    va_list args;
    va_start(args, info);
    void* out = va_arg(args, void*); // every kind of answer is written through a pointer
    va_end(args);
    return Curl().easy_getinfo(handle, info, out);
}

CURLcode curl_easy_perform(CURL* handle)
{
    return Curl().loaded ? Curl().easy_perform(handle) : CURLE_FAILED_INIT;
}

const char* curl_easy_strerror(CURLcode code)
{
    return Curl().loaded ? Curl().easy_strerror(code) : "libcurl cannot be loaded";
}

curl_slist* curl_slist_append(curl_slist* list, const char* text)
{
    return Curl().loaded ? Curl().slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list)
{
    if (Curl().loaded) {
        Curl().slist_free_all(list);
    }
}

CURLSH* curl_share_init()
{
    return Curl().loaded ? Curl().share_init() : nullptr;
}

CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...)
{
    if (!Curl().loaded) {
        return CURLSHE_NOT_BUILT_IN;
    }
    va_list args;
    va_start(args, option);
    CURLSHcode result;
    if (option == CURLSHOPT_SHARE || option == CURLSHOPT_UNSHARE) {
        result = Curl().share_setopt(share, option, va_arg(args, int));
    } else {
        result = Curl().share_setopt(share, option, va_arg(args, void*));
    }
    va_end(args);
    return result;
}

CURLM* curl_multi_init()
{
    return Curl().loaded ? Curl().multi_init() : nullptr;
}

CURLMcode curl_multi_setopt(CURLM* multi, CURLMoption option, ...)
{
    if (!Curl().loaded) {
        return CURLM_BAD_HANDLE;
    }
    va_list args;
    va_start(args, option);
    const CURLMcode result = WithOption(
        option, args, [&](auto value) { return Curl().multi_setopt(multi, option, value); });
    va_end(args);
    return result;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle)
{
    return Curl().loaded ? Curl().multi_add_handle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle)
{
    return Curl().loaded ? Curl().multi_remove_handle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running)
{
    return Curl().loaded ? Curl().multi_perform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned count, int timeoutMs,
                          int* ready)
{
    return Curl().loaded ? Curl().multi_poll(multi, extra, count, timeoutMs, ready)
                         : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left)
{
    return Curl().loaded ? Curl().multi_info_read(multi, left) : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi)
{
    return Curl().loaded ? Curl().multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

} // extern "C"
