#include "platform/net/CurlShare.h"

#include <array>
#include <mutex>

namespace tolvar::net {
namespace {

std::array<std::mutex, CURL_LOCK_DATA_LAST> g_locks;

void Lock(CURL*, curl_lock_data data, curl_lock_access, void*)
{
    g_locks[static_cast<std::size_t>(data) % g_locks.size()].lock();
}

void Unlock(CURL*, curl_lock_data data, void*)
{
    g_locks[static_cast<std::size_t>(data) % g_locks.size()].unlock();
}

} // namespace

CURLSH* CurlShare()
{
    // Never cleaned up: requests may still run on worker threads while the
    // process exits, and the kernel closes the sockets then.
    static CURLSH* share = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        CURLSH* s = curl_share_init();
        curl_share_setopt(s, CURLSHOPT_LOCKFUNC, Lock);
        curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, Unlock);
        curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        return s;
    }();
    return share;
}

} // namespace tolvar::net
