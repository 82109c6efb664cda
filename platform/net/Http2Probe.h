#pragma once

#include "platform/net/NetTimeouts.h"

#include <string>

namespace tolvar::net {

// Whether the server of url speaks HTTP/2: over TLS as the handshake settles
// it, in clear text when it takes a request sent as HTTP/2 from the start.
// Asked once per server and process (one HEAD of url); the answer is kept.
// A server that does not answer at all is taken for one that does not.
bool ServerSpeaksHttp2(const std::string& url, const NetTimeouts& timeouts);

} // namespace tolvar::net
