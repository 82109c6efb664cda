#pragma once

#include "server/OnlineDatabase.h"

#include <string>

namespace tolvar::server {

// The database as a web page: every folder with its saves, their
// descriptions, sizes and download links.
// Save files are linked under savesPrefix ("saves/" for a page that lies
// beside them).
std::string HomePage(const OnlineDatabase& database, const std::string& savesPrefix = "/saves/");

} // namespace tolvar::server
