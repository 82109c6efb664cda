#include "server/StaticExport.h"

#include "platform/base/PercentCoding.h"
#include "server/DatabaseText.h"
#include "server/HomePage.h"

#include <fstream>
#include <system_error>
#include <unistd.h>

namespace tolvar::server {
namespace {

namespace fs = std::filesystem;

// Folders nested deeper than this are not exported (the tree must end).
constexpr int kMaxDepth = 64;

// A static web server decodes %XX in a path and takes every other byte as it
// is, so only letters, digits and "-_.~/" stay.
std::string FolderDirectory(const std::string& folder)
{
    std::string out = "lists/";
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string::npos) {
            end = folder.size();
        }
        out += folder.substr(start, end - start) + ".d/";
        start = end + 1;
    }
    return out;
}

// The file a download url names once the web server has decoded it: the
// client's download urls write a space as "+".
std::string SaveFilePath(const std::string& saveFile)
{
    std::string out = "saves/" + saveFile;
    for (char& c : out) {
        c = c == ' ' ? '+' : c;
    }
    return out;
}

class ExportLinks final : public DocumentLinks
{
public:
    explicit ExportLinks(std::string base) : m_base(std::move(base)) {}
    std::string List(const std::string& folder) const override
    {
        return m_base + "/" + PercentEncode(StaticExport::ListPath(folder), "/") + "?";
    }
    std::string Detail(const std::string& save) const override
    {
        return m_base + "/" + PercentEncode(StaticExport::DetailPath(save), "/") + "?";
    }
    std::string Download(const std::string& saveFile) const override
    {
        // The same address the server gives, so the client names the file alike.
        return m_base + "/saves/" + EncodeDownloadPath(saveFile);
    }

private:
    std::string m_base;
};

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "/" + name;
}

std::string WithoutTrailingSlash(std::string url)
{
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

} // namespace

StaticExport::StaticExport(const OnlineDatabase& database, ExportOptions options)
    : m_database(database), m_options(std::move(options))
{
    m_options.baseUrl = WithoutTrailingSlash(m_options.baseUrl);
    m_options.uploadUrl = WithoutTrailingSlash(m_options.uploadUrl);
}

std::string StaticExport::ListPath(const std::string& folder)
{
    return FolderDirectory(folder) + "list.xml";
}

std::string StaticExport::DetailPath(const std::string& save)
{
    const std::size_t slash = save.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : save.substr(0, slash);
    const std::string name = slash == std::string::npos ? save : save.substr(slash + 1);
    return FolderDirectory(folder) + "saves/" + name + ".xml";
}

bool StaticExport::WriteAll(std::string& error)
{
    m_error.clear();
    const bool ok = WriteTop() && WriteTree("", true, 0);
    error = m_error;
    return ok;
}

bool StaticExport::WriteSave(const std::string& folder, const std::string& name, std::string& error)
{
    m_error.clear();
    const ExportLinks links(m_options.baseUrl);
    const std::string relative = JoinPath(folder, name);
    std::error_code ec;
    bool ok = true;
    if (const auto bytes = m_database.SaveFile(relative + ".tvd")) {
        ok = Put(SaveFilePath(relative + ".tvd"), *bytes);
    } else {
        fs::remove(m_options.folder / SaveFilePath(relative + ".tvd"), ec);
    }
    if (const auto detail = m_database.DetailDocument(relative, links); ok && detail) {
        ok = Put(DetailPath(relative), *detail);
    } else if (ok) {
        fs::remove(m_options.folder / DetailPath(relative), ec);
    }
    const auto list = m_database.ListDocument(folder, links);
    ok = ok && (!list || Put(ListPath(folder), *list));
    // The first upload makes the community folder: the list above it names it.
    const std::size_t slash = folder.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : folder.substr(0, slash);
    if (const auto above = m_database.ListDocument(parent, links); ok && !folder.empty() && above) {
        ok = Put(ListPath(parent), *above);
    }
    ok = ok && WritePages(folder) && WriteHome();
    error = m_error;
    return ok;
}

bool StaticExport::WriteTop()
{
    const std::string settings =
        SettingsPage(ExportLinks(m_options.baseUrl), m_options.uploadUrl, m_options.baseUrl);
    if (!Put("tolvar_settings.asp", settings) || !WriteHome()) {
        return false;
    }
    const std::optional<std::string> codeList = m_database.CodeList();
    return !codeList || Put("codelist.bin", *codeList);
}

bool StaticExport::WriteTree(const std::string& folder, bool deep, int depth)
{
    const ExportLinks links(m_options.baseUrl);
    const auto entries = m_database.List(folder);
    const auto list = m_database.ListDocument(folder, links);
    if (!entries || !list || depth > kMaxDepth) {
        return true; // gone meanwhile, or too deep: nothing to serve
    }
    if (!Put(ListPath(folder), *list) || !WritePages(folder)) {
        return false;
    }
    for (const OnlineDatabase::Entry& entry : *entries) {
        const std::string relative = JoinPath(folder, entry.name);
        if (entry.folder) {
            if (deep && !WriteTree(relative, true, depth + 1)) {
                return false;
            }
            continue;
        }
        if (const auto detail = m_database.DetailDocument(relative, links)) {
            if (!Put(DetailPath(relative), *detail)) {
                return false;
            }
        }
        if (const auto bytes = m_database.SaveFile(relative + ".tvd")) {
            if (!Put(SaveFilePath(relative + ".tvd"), *bytes)) {
                return false;
            }
        }
    }
    return true;
}

bool StaticExport::WriteHome()
{
    const PageLinks links{m_options.baseUrl, true};
    return Put("index.html", HomePage(m_database, links)) &&
           Put("search.json", SearchIndex(m_database, links));
}

bool StaticExport::WritePages(const std::string& folder)
{
    const PageLinks links{m_options.baseUrl, true};
    int pages = 1;
    for (int page = 1; page <= pages; ++page) {
        const auto html = FolderPage(m_database, folder, page, links, &pages);
        if (html && !Put(PageLinks::FolderPagePath(folder, page), *html)) {
            return false;
        }
    }
    // A page past the end left from a bigger folder would only mislead.
    std::error_code ec;
    fs::remove(m_options.folder / PageLinks::FolderPagePath(folder, pages + 1), ec);
    return true;
}

bool StaticExport::Put(const std::string& relative, const std::string& bytes)
{
    // Written beside and renamed into place, so a web server never hands out
    // half a file while the export is brought up to date.
    const fs::path target = m_options.folder / relative;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    const fs::path temporary = target.parent_path() / (".tmp-" + std::to_string(getpid()) + "-" +
                                                       target.filename().string());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            m_error = "cannot write " + target.string();
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        m_error = "cannot write " + target.string();
        return false;
    }
    return true;
}

} // namespace tolvar::server
