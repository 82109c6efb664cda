#pragma once

#include "server/OnlineDatabase.h"

#include <string>

namespace tolvar::server {

// The database as a web page: every folder with its saves, their
// descriptions, sizes and download links.
std::string HomePage(const OnlineDatabase& database);

} // namespace tolvar::server
