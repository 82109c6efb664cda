#pragma once

#include "server/OnlineDatabase.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvar::server {

// How the web pages name each other: the server's own addresses (base
// empty: root-relative), or the files of a static export under its address.
struct PageLinks
{
    std::string base;
    bool exported = false;

    std::string Home() const;
    std::string Folder(const std::string& folder, int page) const;
    std::string Download(const std::string& save) const;
    std::string Search() const;
    // Where an export keeps a folder's page, inside the export.
    static std::string FolderPagePath(const std::string& folder, int page);
};

constexpr int kSavesPerPage = 100;

// The front page: the folders with their counts, the newest uploads and a
// search box.
std::string HomePage(const OnlineDatabase& database, const PageLinks& links);
// One page of a folder's saves (page from 1); nothing when the folder is not
// one or the page lies past its end. pages gets the folder's page count.
std::optional<std::string> FolderPage(const OnlineDatabase& database, const std::string& folder,
                                      int page, const PageLinks& links, int* pages = nullptr);
// The saves whose name, description or title id holds the query.
std::string SearchPage(const OnlineDatabase& database, const std::string& query,
                       const PageLinks& links);
// Every save for a static page's own search, as JSON.
std::string SearchIndex(const OnlineDatabase& database, const PageLinks& links);
// Every folder that the pages show, parents first.
std::vector<std::string> PageFolders(const OnlineDatabase& database);

} // namespace tolvar::server
