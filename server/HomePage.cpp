#include "server/HomePage.h"

#include "server/DatabaseText.h"

#include <algorithm>
#include <cstdio>

namespace tolvar::server {
namespace {

// Deeper folders are not shown; the client never shows them either.
constexpr int kMaxDepth = 16;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Kilobytes(std::int64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f KB", static_cast<double>(bytes) / 1024.0);
    return text;
}

void Folder(const OnlineDatabase& database, const std::string& savesPrefix,
            const std::string& folder, const std::string& name, int depth, std::string& page)
{
    const auto entries = database.List(folder);
    if (!entries || depth > kMaxDepth) {
        return;
    }
    page += "<section class=\"folder\">\n<h2>" + Escape(name) + "</h2>\n";
    std::string saves;
    for (const OnlineDatabase::Entry& entry : *entries) {
        if (entry.folder) {
            continue;
        }
        const std::string relative = (folder.empty() ? "" : folder + "/") + entry.name;
        saves += "<tr><td class=\"name\">";
        if (entry.size >= 0) {
            saves += "<a href=\"" + Escape(savesPrefix) +
                     Escape(EncodeDownloadPath(relative + ".tvd")) + "\" download=\"" +
                     Escape(entry.name) + ".tvd\">" + Escape(entry.name) + "</a>";
        } else {
            saves += Escape(entry.name);
        }
        saves += "</td><td class=\"size\">" +
                 (entry.size >= 0 ? Kilobytes(entry.size) : "no file") + "</td><td>" +
                 Escape(entry.description) + "</td></tr>\n";
    }
    if (!saves.empty()) {
        page += "<table>\n<tr><th>Save</th><th>Size</th><th>Description</th></tr>\n" + saves +
                "</table>\n";
    } else if (std::none_of(entries->begin(), entries->end(),
                            [](const auto& e) { return e.folder; })) {
        page += "<p class=\"empty\">No saves here yet.</p>\n";
    }
    for (const OnlineDatabase::Entry& entry : *entries) {
        if (entry.folder) {
            Folder(database, savesPrefix, (folder.empty() ? "" : folder + "/") + entry.name,
                   entry.name, depth + 1, page);
        }
    }
    page += "</section>\n";
}

} // namespace

std::string HomePage(const OnlineDatabase& database, const std::string& savesPrefix)
{
    std::string page = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Tolvar online saves</title>
<style>
body { margin: 0; background: #eef2f9; color: #10203a; font: 14px/1.4 "Liberation Sans", Arial, sans-serif; }
header { background: #011740; color: #99b6eb; padding: 18px 28px; border-bottom: 4px solid #99b6eb; }
header h1 { margin: 0; font-size: 24px; color: #ebebeb; }
main { padding: 12px 28px 28px; }
section.folder { margin: 14px 0 0 0; padding: 4px 0 6px 14px; border-left: 3px solid #99b6eb; }
h2 { margin: 6px 0; font-size: 17px; color: #011740; }
table { border-collapse: collapse; background: #fff; min-width: 60%; }
th, td { padding: 4px 10px; border-bottom: 1px solid #d4ddee; text-align: left; }
th { background: #d4ddee; }
td.size { text-align: right; white-space: nowrap; }
a { color: #0a47b8; font-weight: bold; }
p.empty { color: #5a6a88; font-style: italic; margin: 4px 0; }
</style>
</head>
<body>
<header><h1>Tolvar online saves</h1>PlayStation 2 saves shared by the community: drag one onto a drive in the companion, or download it here.</header>
<main>
)";
    Folder(database, savesPrefix, "", "Online Database", 0, page);
    page += "</main>\n</body>\n</html>\n";
    return page;
}

} // namespace tolvar::server
