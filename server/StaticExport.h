#pragma once

#include "server/OnlineDatabase.h"

#include <filesystem>
#include <string>

namespace tolvar::server {

// Where an export is written and how it is reached.
struct ExportOptions
{
    std::filesystem::path folder;
    std::string baseUrl;   // the address at which a web server serves folder
    std::string uploadUrl; // "http://host:port" of a running tolvar-server
};

// The read side of a database as static files any web server can serve:
//
//   index.html, tolvar_settings.asp, codelist.bin, search.json
//   pages/<folder>.d/.../page-N.html      a folder's web pages
//   saves/<folder>/<save>.tvd           (a space in a name written as "+")
//   lists/list.xml                      the top-level list
//   lists/<folder>.d/.../list.xml       the list of a folder
//   lists/<folder>.d/.../saves/<save>.xml   the detail of a save
//
// The client appends "&random=N" to every document address, so each ends in
// ".xml?": a static server ignores the query. The ".d" on folders keeps a
// folder from meeting a list or a save's detail of the same name.
class StaticExport
{
public:
    StaticExport(const OnlineDatabase& database, ExportOptions options);

    // Writes everything; false (with the reason) when a file cannot be written.
    bool WriteAll(std::string& error);

    // After an upload (or a removal) of one save: that save's file and
    // detail, its folder's list and the home page; nothing else is written.
    bool WriteSave(const std::string& folder, const std::string& name, std::string& error);

    // Path of a folder's list document or of a save's detail, inside the export.
    static std::string ListPath(const std::string& folder);
    static std::string DetailPath(const std::string& save);

private:
    bool WriteTree(const std::string& folder, bool deep, int depth);
    bool WriteTop();
    bool WriteHome();
    bool WritePages(const std::string& folder);
    bool Put(const std::string& relative, const std::string& bytes);

    const OnlineDatabase& m_database;
    ExportOptions m_options;
    std::string m_error;
};

} // namespace tolvar::server
