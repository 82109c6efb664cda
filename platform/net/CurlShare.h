#pragma once

#include <curl/curl.h>

namespace tolvar::net {

// The process-wide share through which every request reuses open
// connections and resolved names, whichever session and thread it runs on.
// Initialises libcurl on first use.
CURLSH* CurlShare();

} // namespace tolvar::net
