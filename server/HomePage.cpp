#include "server/HomePage.h"

#include "platform/base/Markup.h"
#include "server/DatabaseText.h"

#include <algorithm>
#include <cstdio>

namespace tolvar::server {
namespace {

// Deeper folders are not shown; the client never shows them either.
constexpr int kMaxDepth = 16;
constexpr std::size_t kNewest = 10;
constexpr std::size_t kMaxHits = 200;

std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out + "\"";
}

std::string Kilobytes(std::int64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f KB", static_cast<double>(bytes) / 1024.0);
    return text;
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "/" + name;
}

std::string Top(const std::string& title, const PageLinks& links)
{
    return R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)" + EscapeMarkup(title) +
           R"(</title>
<style>
body { margin: 0; background: #eef2f9; color: #10203a; font: 14px/1.4 "Liberation Sans", Arial, sans-serif; }
header { background: #011740; color: #99b6eb; padding: 18px 28px; border-bottom: 4px solid #99b6eb; }
header h1 { margin: 0; font-size: 24px; }
header h1 a { color: #ebebeb; text-decoration: none; }
header form { margin-top: 10px; }
header input[type=search] { width: 320px; padding: 4px 6px; }
main { padding: 12px 28px 28px; }
h2 { margin: 16px 0 6px; font-size: 17px; color: #011740; }
table { border-collapse: collapse; background: #fff; min-width: 60%; }
th, td { padding: 4px 10px; border-bottom: 1px solid #d4ddee; text-align: left; }
th { background: #d4ddee; }
td.size, td.count { text-align: right; white-space: nowrap; }
a { color: #0a47b8; font-weight: bold; }
p.empty, p.pager { color: #5a6a88; margin: 8px 0; }
</style>
</head>
<body>
<header><h1><a href=")" +
           EscapeMarkup(links.Home()) +
           R"(">Tolvar online saves</a></h1>PlayStation 2 saves shared by the community: drag one onto a drive in the companion, or download it here.
<form id="search" action=")" +
           EscapeMarkup(links.Search()) +
           R"(" method="get"><input type="search" name="q" placeholder="Name, description or title id" aria-label="Search"> <button>Search</button></form></header>
<main>
)";
}

std::string Bottom(const PageLinks& links)
{
    if (!links.exported) {
        return "</main>\n</body>\n</html>\n";
    }
    // A static site has no server to search: the page searches the export's
    // index itself, and writes what it finds as text, never as markup.
    return R"(</main>
<script>
const q = (new URLSearchParams(location.search).get('q') || '').trim().toLowerCase();
if (q) (async () => {
  const saves = await (await fetch(')" +
           links.base + R"(/search.json')).json();
  const hits = saves.filter(s => [s.n, s.d, s.t].some(v => v.toLowerCase().includes(q))).slice(0, 200);
  const h = document.createElement('h2');
  h.textContent = hits.length + ' saves found for "' + q + '"';
  const table = document.createElement('table');
  for (const s of hits) {
    const row = table.insertRow(), a = document.createElement('a');
    a.href = s.u; a.textContent = s.n;
    row.insertCell().append(a);
    for (const v of [s.f, s.t, s.d]) row.insertCell().textContent = v;
  }
  document.querySelector('main').replaceChildren(h, table);
})();
</script>
</body>
</html>
)";
}

void SaveRow(const OnlineDatabase::Entry& entry, const std::string& save, const PageLinks& links,
             const std::string& extra, std::string& page)
{
    page += "<tr><td class=\"name\">";
    if (entry.size >= 0) {
        page += "<a href=\"" + EscapeMarkup(links.Download(save)) + "\" download=\"" +
                EscapeMarkup(entry.name) + ".tvd\">" + EscapeMarkup(entry.name) + "</a>";
    } else {
        page += EscapeMarkup(entry.name);
    }
    page += "</td>" + extra + "<td class=\"size\">" +
            (entry.size >= 0 ? Kilobytes(entry.size) : "no file") + "</td><td>" +
            EscapeMarkup(entry.description) + "</td></tr>\n";
}

void CollectFolders(const OnlineDatabase& database, const std::string& folder, int depth,
                    std::vector<std::string>& out)
{
    const auto entries = database.List(folder, false);
    if (!entries || depth > kMaxDepth) {
        return;
    }
    out.push_back(folder);
    for (const OnlineDatabase::Entry& entry : *entries) {
        if (entry.folder) {
            CollectFolders(database, JoinPath(folder, entry.name), depth + 1, out);
        }
    }
}

} // namespace

std::string PageLinks::Home() const
{
    return exported ? base + "/index.html" : "/";
}

std::string PageLinks::FolderPagePath(const std::string& folder, int page)
{
    std::string path = "pages/";
    for (std::size_t start = 0; start < folder.size();) {
        const std::size_t end = std::min(folder.find('/', start), folder.size());
        path += EncodeQueryValue(folder.substr(start, end - start)) + ".d/";
        start = end + 1;
    }
    return path + "page-" + std::to_string(page) + ".html";
}

std::string PageLinks::Folder(const std::string& folder, int page) const
{
    if (exported) {
        // The file's name holds %XX, which a web server decodes once.
        std::string path;
        for (char c : FolderPagePath(folder, page)) {
            path += c == '%' ? std::string("%25") : std::string(1, c);
        }
        return base + "/" + path;
    }
    return "/folder.html?folder=" + EncodeQueryValue(folder) + "&page=" + std::to_string(page);
}

std::string PageLinks::Download(const std::string& save) const
{
    return base + "/saves/" + EncodeDownloadPath(save + ".tvd");
}

std::string PageLinks::Search() const
{
    // An export's front page searches its index itself.
    return exported ? base + "/index.html" : base + "/search";
}

std::vector<std::string> PageFolders(const OnlineDatabase& database)
{
    std::vector<std::string> folders;
    CollectFolders(database, "", 0, folders);
    return folders;
}

std::string HomePage(const OnlineDatabase& database, const PageLinks& links)
{
    std::string page = Top("Tolvar online saves", links);
    page += "<h2>Folders</h2>\n<table>\n<tr><th>Folder</th><th>Saves</th></tr>\n";
    for (const std::string& folder : PageFolders(database)) {
        const auto entries = database.List(folder, false);
        if (folder.empty() || !entries) {
            continue;
        }
        const auto saves = std::count_if(entries->begin(), entries->end(),
                                         [](const auto& e) { return !e.folder; });
        const int depth = static_cast<int>(std::count(folder.begin(), folder.end(), '/'));
        const std::string name = folder.substr(folder.rfind('/') + 1);
        page += "<tr><td style=\"padding-left: " + std::to_string(10 + 18 * depth) +
                "px\"><a href=\"" + EscapeMarkup(links.Folder(folder, 1)) + "\">" +
                EscapeMarkup(name) + "</a></td><td class=\"count\">" + std::to_string(saves) +
                "</td></tr>\n";
    }
    page += "</table>\n";

    auto newest = database.List(OnlineDatabase::kCommunityFolder)
                      .value_or(std::vector<OnlineDatabase::Entry>{});
    std::erase_if(newest, [](const auto& e) { return e.folder || e.size < 0; });
    std::sort(newest.begin(), newest.end(),
              [](const auto& a, const auto& b) { return a.modified > b.modified; });
    newest.resize(std::min(newest.size(), kNewest));
    if (!newest.empty()) {
        page += "<h2>Newest uploads</h2>\n<table>\n<tr><th>Save</th><th>Size</th><th>"
                "Description</th></tr>\n";
        for (const auto& entry : newest) {
            SaveRow(entry, JoinPath(OnlineDatabase::kCommunityFolder, entry.name), links, "", page);
        }
        page += "</table>\n";
    }
    return page + Bottom(links);
}

std::optional<std::string> FolderPage(const OnlineDatabase& database, const std::string& folder,
                                      int page, const PageLinks& links, int* pages)
{
    auto entries = database.List(folder);
    if (!entries || page < 1) {
        return std::nullopt;
    }
    std::vector<OnlineDatabase::Entry> folders;
    std::vector<OnlineDatabase::Entry> saves;
    for (auto& entry : *entries) {
        (entry.folder ? folders : saves).push_back(std::move(entry));
    }
    const int count =
        std::max<int>(1, static_cast<int>((saves.size() + kSavesPerPage - 1) / kSavesPerPage));
    if (pages != nullptr) {
        *pages = count;
    }
    if (page > count) {
        return std::nullopt;
    }
    const std::string name = folder.empty() ? "Online Database" : folder;
    std::string out = Top(name + " - Tolvar online saves", links);
    out += "<h2>" + EscapeMarkup(name) + "</h2>\n";
    for (const auto& sub : folders) {
        out += "<p><a href=\"" + EscapeMarkup(links.Folder(JoinPath(folder, sub.name), 1)) + "\">" +
               EscapeMarkup(sub.name) + "</a></p>\n";
    }
    const std::size_t first = static_cast<std::size_t>(page - 1) * kSavesPerPage;
    const std::size_t last = std::min(saves.size(), first + kSavesPerPage);
    if (saves.empty()) {
        out += "<p class=\"empty\">No saves here yet.</p>\n";
    } else {
        out += "<table>\n<tr><th>Save</th><th>Size</th><th>Description</th></tr>\n";
        for (std::size_t i = first; i < last; ++i) {
            SaveRow(saves[i], JoinPath(folder, saves[i].name), links, "", out);
        }
        out += "</table>\n";
    }
    if (count > 1) {
        out += "<p class=\"pager\">";
        if (page > 1) {
            out += "<a href=\"" + EscapeMarkup(links.Folder(folder, page - 1)) + "\">Previous</a> ";
        }
        out += "Page " + std::to_string(page) + " of " + std::to_string(count);
        if (page < count) {
            out += " <a href=\"" + EscapeMarkup(links.Folder(folder, page + 1)) + "\">Next</a>";
        }
        out += "</p>\n";
    }
    return out + Bottom(links);
}

std::string SearchPage(const OnlineDatabase& database, const std::string& query,
                       const PageLinks& links)
{
    const std::string wanted = Lower(query);
    std::string rows;
    std::size_t hits = 0;
    for (const std::string& folder : PageFolders(database)) {
        for (const auto& entry :
             database.List(folder).value_or(std::vector<OnlineDatabase::Entry>{})) {
            const std::string save = JoinPath(folder, entry.name);
            if (entry.folder || hits >= kMaxHits || wanted.empty()) {
                continue;
            }
            const std::string titleId = entry.size >= 0 ? database.TitleId(save) : "";
            if (Lower(entry.name).find(wanted) == std::string::npos &&
                Lower(entry.description).find(wanted) == std::string::npos &&
                Lower(titleId).find(wanted) == std::string::npos) {
                continue;
            }
            ++hits;
            SaveRow(entry, save, links,
                    "<td>" + EscapeMarkup(folder) + "</td><td>" + EscapeMarkup(titleId) + "</td>",
                    rows);
        }
    }
    std::string page = Top("Search - Tolvar online saves", links);
    page += "<h2>" + std::to_string(hits) + " saves found for &quot;" + EscapeMarkup(query) +
            "&quot;</h2>\n";
    if (hits > 0) {
        page += "<table>\n<tr><th>Save</th><th>Folder</th><th>Title id</th><th>Size</th><th>"
                "Description</th></tr>\n" +
                rows + "</table>\n";
    }
    return page + Bottom(links);
}

std::string SearchIndex(const OnlineDatabase& database, const PageLinks& links)
{
    std::string out = "[";
    for (const std::string& folder : PageFolders(database)) {
        for (const auto& entry :
             database.List(folder).value_or(std::vector<OnlineDatabase::Entry>{})) {
            if (entry.folder || entry.size < 0) {
                continue;
            }
            const std::string save = JoinPath(folder, entry.name);
            out += std::string(out.size() > 1 ? ",\n" : "\n") + "{\"f\":" + Json(folder) +
                   ",\"n\":" + Json(entry.name) + ",\"d\":" + Json(entry.description) +
                   ",\"t\":" + Json(database.TitleId(save)) +
                   ",\"u\":" + Json(links.Download(save)) + "}";
        }
    }
    return out + "\n]\n";
}

} // namespace tolvar::server
