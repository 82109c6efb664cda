#include "platform/net/SocketInit.h"

#include <curl/curl.h>

namespace tolvar::net {

bool AfxSocketInit()
{
    // libcurl counts its initialisations, so this pairs with the share's own.
    return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

} // namespace tolvar::net
