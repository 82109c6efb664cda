#include "server/OnlineDatabase.h"

#include "saveformat/SaveFormat.h"
#include "server/DatabaseText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace tolvar::server {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxDescriptionBytes = 1024;

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsRegularFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

bool WriteWhole(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "/" + name;
}

} // namespace

OnlineDatabase::OnlineDatabase(const fs::path& root) : m_root(fs::canonical(root))
{
    if (!fs::is_directory(m_root)) {
        throw fs::filesystem_error("not a folder", m_root,
                                   std::make_error_code(std::errc::not_a_directory));
    }
}

std::optional<fs::path> OnlineDatabase::Resolve(const std::string& relative) const
{
    if (relative.find('\\') != std::string::npos || relative.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    fs::path path = m_root;
    if (!relative.empty()) {
        std::size_t pos = 0;
        for (;;) {
            const std::size_t slash = relative.find('/', pos);
            const std::string part = relative.substr(pos, slash - pos);
            // No empty, ".", ".." or hidden component, and nothing absolute.
            if (part.empty() || part.front() == '.') {
                return std::nullopt;
            }
            path /= part;
            if (slash == std::string::npos) {
                break;
            }
            pos = slash + 1;
        }
    }
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec) {
        return std::nullopt;
    }
    const fs::path inside = real.lexically_relative(m_root);
    if (inside.empty() || *inside.begin() == "..") {
        return std::nullopt; // a link that leads out of the root
    }
    return real;
}

std::optional<std::string> OnlineDatabase::ReadFile(const std::string& relative,
                                                    std::uint64_t maxBytes) const
{
    const std::optional<fs::path> path = Resolve(relative);
    if (!path) {
        return std::nullopt;
    }
    return ReadAt(AT_FDCWD, path->string(), maxBytes);
}

std::optional<std::string> OnlineDatabase::ReadAt(int dirFd, const std::string& name,
                                                  std::uint64_t maxBytes)
{
    // The path holds no link; O_NOFOLLOW keeps one swapped in meanwhile
    // from being followed, and O_NONBLOCK a pipe from stalling us.
    const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    std::optional<std::string> bytes;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), maxBytes));
        std::string data(wanted, '\0');
        std::size_t done = 0;
        while (done < wanted) {
            const ssize_t n = read(fd, data.data() + done, wanted - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        data.resize(done);
        bytes = std::move(data);
    }
    close(fd);
    return bytes;
}

bool OnlineDatabase::LeadsRound(const std::string& folder) const
{
    // A folder reached again along its own path: a link back to a folder above.
    std::vector<fs::path> seen{m_root};
    for (std::size_t pos = 0; pos <= folder.size() && !folder.empty();) {
        const std::size_t slash = std::min(folder.find('/', pos), folder.size());
        const std::optional<fs::path> real = Resolve(folder.substr(0, slash));
        if (!real) {
            return true;
        }
        if (std::find(seen.begin(), seen.end(), *real) != seen.end()) {
            return true;
        }
        seen.push_back(*real);
        pos = slash + 1;
    }
    return false;
}

std::optional<std::vector<OnlineDatabase::Entry>> OnlineDatabase::List(const std::string& folder,
                                                                       bool descriptions) const
{
    const std::optional<fs::path> dir = Resolve(folder);
    std::error_code ec;
    if (!dir || !fs::is_directory(*dir, ec) || LeadsRound(folder)) {
        return std::nullopt;
    }
    // The folder is resolved once; an entry that is no link lies inside it
    // by construction, so only links take the whole path check, and a real
    // subfolder can never be one of the folders above.
    const int dirFd = open(dir->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
    if (stream == nullptr) {
        if (dirFd >= 0) {
            close(dirFd);
        }
        return std::nullopt;
    }
    std::unordered_map<std::string, unsigned char> names; // name to its d_type
    while (const dirent* item = readdir(stream)) {
        const std::string name = item->d_name;
        // A "+" would read as a space when the client asks for the file; a
        // name that is not well-formed UTF-8 cannot be shown.
        if (name.empty() || name.front() == '.' || name.find('+') != std::string::npos ||
            !IsWellFormedUtf8(name)) {
            continue;
        }
        unsigned char type = item->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info
            {
            };
            if (fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            type = S_ISDIR(info.st_mode)   ? DT_DIR
                   : S_ISREG(info.st_mode) ? DT_REG
                   : S_ISLNK(info.st_mode) ? DT_LNK
                                           : DT_UNKNOWN;
        }
        names.emplace(name, type);
    }
    const auto kindOf = [&](const std::string& name) -> unsigned char {
        const auto it = names.find(name);
        if (it == names.end()) {
            return DT_UNKNOWN;
        }
        if (it->second != DT_LNK) {
            return it->second;
        }
        const std::optional<fs::path> real = Resolve(JoinPath(folder, name));
        std::error_code e;
        return !real                        ? DT_UNKNOWN
               : fs::is_directory(*real, e) ? DT_DIR
               : IsRegularFile(*real)       ? DT_REG
                                            : DT_UNKNOWN;
    };
    const auto description = [&](const std::string& name) {
        const std::string file = name + ".txt";
        const auto it = names.find(file);
        if (it == names.end() || !descriptions) {
            return std::string();
        }
        std::optional<std::string> text;
        if (it->second == DT_REG) {
            text = ReadAt(dirFd, file, kMaxDescriptionBytes);
        } else {
            text = ReadFile(JoinPath(folder, file), kMaxDescriptionBytes);
        }
        return CleanText(OneLine(text.value_or("")), kMaxDescriptionBytes);
    };

    std::vector<Entry> entries;
    for (const auto& [name, type] : names) {
        const unsigned char kind = kindOf(name);
        Entry entry;
        if (kind == DT_DIR) {
            if (type == DT_LNK && LeadsRound(JoinPath(folder, name))) {
                continue;
            }
            entry.folder = true;
            entry.name = name;
        } else if (kind == DT_REG && EndsWith(name, ".tvd") && name.size() > 4) {
            entry.name = name.substr(0, name.size() - 4);
            struct stat info
            {
            };
            if (type == DT_LNK ? stat(Resolve(JoinPath(folder, name))->c_str(), &info) != 0
                               : fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            entry.size = static_cast<std::int64_t>(info.st_size);
            entry.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec);
            entry.description = description(entry.name);
        } else if (kind == DT_REG && EndsWith(name, ".txt") && name.size() > 4) {
            entry.name = name.substr(0, name.size() - 4);
            if (kindOf(entry.name + ".tvd") == DT_REG) {
                continue; // listed with its save
            }
            entry.description = description(entry.name);
        } else {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    closedir(stream);
    // The client sorts the same way; sending the order it wants saves it work.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = CompareNoCase(a.name, b.name);
        return order != 0 ? order < 0 : std::tie(a.name, a.folder) < std::tie(b.name, b.folder);
    });
    return entries;
}

std::optional<std::string> OnlineDatabase::FolderStamp(const std::string& folder) const
{
    const std::optional<fs::path> dir = Resolve(folder);
    struct stat info
    {
    };
    if (!dir || stat(dir->c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || LeadsRound(folder)) {
        return std::nullopt;
    }
    return dir->string() + "|" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) +
           ":" + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) +
           ":" + std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
}

std::string ServerLinks::List(const std::string& folder) const
{
    return m_base + "/tolvar_list.asp?folder=" + EncodeQueryValue(folder);
}

std::string ServerLinks::Detail(const std::string& save) const
{
    return m_base + "/tolvar_save.asp?save=" + EncodeQueryValue(save);
}

std::string ServerLinks::Download(const std::string& saveFile) const
{
    return m_base + "/saves/" + EncodeDownloadPath(saveFile);
}

std::optional<std::string> OnlineDatabase::ListDocument(const std::string& folder,
                                                        const std::string& base) const
{
    return ListDocument(folder, ServerLinks(base));
}

std::optional<std::string> OnlineDatabase::DetailDocument(const std::string& save,
                                                          const std::string& base) const
{
    return DetailDocument(save, ServerLinks(base));
}

std::optional<std::string> OnlineDatabase::ListDocument(const std::string& folder,
                                                        const DocumentLinks& links) const
{
    std::optional<std::vector<Entry>> entries = List(folder);
    if (!entries) {
        return std::nullopt;
    }
    if (entries->empty()) {
        return std::string("<result></result>");
    }
    // Indented so that every closing tag has text before it: some readers
    // lose the siblings that follow a closing tag written flush.
    std::ostringstream doc;
    doc << "<result>\r\n";
    for (const Entry& entry : *entries) {
        const std::string relative = JoinPath(folder, entry.name);
        if (entry.folder) {
            doc << "  <folder>\r\n"
                << "    <name>" << EncodeDisplayValue(entry.name) << "</name>\r\n"
                << "    <url>" << links.List(relative) << "</url>\r\n"
                << "  </folder>\r\n";
        } else {
            doc << "  <save>\r\n"
                << "    <name>" << EncodeDisplayValue(entry.name) << "</name>\r\n"
                << "    <description>" << EncodeDisplayValue(entry.description)
                << "</description>\r\n"
                << "    <url>" << links.Detail(relative) << "</url>\r\n"
                << "  </save>\r\n";
        }
    }
    doc << "</result>\r\n";
    return doc.str();
}

std::optional<std::string> OnlineDatabase::DetailDocument(const std::string& save,
                                                          const DocumentLinks& links) const
{
    if (const std::optional<fs::path> file = Resolve(save + ".tvd"); file && IsRegularFile(*file)) {
        std::error_code ec;
        const auto size = fs::file_size(*file, ec);
        if (ec) {
            return std::nullopt;
        }
        std::ostringstream doc;
        doc << "<result>\r\n"
            << "  <file>\r\n"
            << "    <download_url>" << links.Download(save + ".tvd") << "</download_url>\r\n"
            << "    <download_size>" << size << "</download_size>\r\n"
            << "  </file>\r\n"
            << "</result>\r\n";
        return doc.str();
    }
    if (const std::optional<fs::path> text = Resolve(save + ".txt"); text && IsRegularFile(*text)) {
        return std::string("<result>\r\n  <status>no file</status>\r\n</result>\r\n");
    }
    return std::nullopt;
}

std::string OnlineDatabase::TitleId(const std::string& save) const
{
    const std::optional<std::string> head =
        ReadFile(save + ".tvd", kSaveTitleIdOffset + kSaveTitleIdLength);
    if (!head || head->size() < kSaveTitleIdOffset + kSaveTitleIdLength) {
        return {};
    }
    std::string id = head->substr(kSaveTitleIdOffset, kSaveTitleIdLength);
    id = id.substr(0, id.find('\0'));
    return CleanText(id, kSaveTitleIdLength);
}

std::optional<std::string> OnlineDatabase::SaveFile(const std::string& path) const
{
    if (!EndsWith(path, ".tvd")) {
        return std::nullopt;
    }
    return ReadFile(path, kMaxSaveBytes);
}

std::optional<std::string> OnlineDatabase::CodeList() const
{
    return ReadFile("codelist.bin", kMaxSaveBytes);
}

OnlineDatabase::UploadOutcome OnlineDatabase::StoreUpload(const std::string& saveName,
                                                          const std::string& description,
                                                          const std::string& bytes)
{
    UploadOutcome outcome;
    // Control characters are refused, not dropped: they have no business in a
    // name, and a description keeps only the line breaks the form writes.
    const auto control = [](const std::string& text, std::string_view allowed) {
        return std::any_of(text.begin(), text.end(), [&](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u < 0x20 || u == 0x7F) && allowed.find(c) == std::string_view::npos;
        });
    };
    if (control(saveName, "") || control(description, "\r\n\t")) {
        outcome.reason = "the name or description holds a control character";
        return outcome;
    }
    const std::string name = CleanSaveName(saveName);
    if (name.empty()) {
        outcome.reason = "the save has no name";
        return outcome;
    }
    if (bytes.size() > kMaxSaveBytes) {
        outcome.reason = "the save is larger than 16 MiB";
        return outcome;
    }
    if (bytes.size() < kSaveHeaderLength) {
        outcome.reason = "the file is too short to be a save";
        return outcome;
    }
    if (!SaveNameFieldTerminated(reinterpret_cast<const std::uint8_t*>(bytes.data()))) {
        outcome.reason = "the save's name field is not terminated";
        return outcome;
    }
    // The catalogue's own check, so nothing is stored that a client would call corrupt.
    std::string copy = bytes; // the check zeroes the checksum field of what it gets
    if (!IsValidSaveBuffer(reinterpret_cast<std::uint8_t*>(copy.data()), copy.size())) {
        outcome.reason = "the save's checksum is wrong";
        return outcome;
    }

    std::lock_guard lock(m_uploadMutex);
    std::error_code ec;
    const fs::path community = m_root / kCommunityFolder;
    fs::create_directory(community, ec);
    if (!Resolve(kCommunityFolder)) {
        outcome.reason = "the community folder cannot be used";
        return outcome;
    }
    // Never replace someone else's save: a taken name gets a number.
    std::string stored = name;
    for (int n = 2; IsRegularFile(community / (stored + ".tvd")) ||
                    IsRegularFile(community / (stored + ".txt")) ||
                    fs::exists(community / (stored + ".tvd"), ec);
         ++n) {
        if (n > 1000) {
            outcome.reason = "too many saves of that name";
            return outcome;
        }
        stored = name + " (" + std::to_string(n) + ")";
    }
    // Written under hidden names and renamed, so a reader never meets half a save.
    const std::string tag = ".upload-" + std::to_string(++m_uploadCounter);
    const fs::path tempSave = community / (tag + ".tvd");
    const fs::path tempText = community / (tag + ".txt");
    const std::string cleanDescription = CleanText(description, kMaxDescriptionBytes);
    if (!WriteWhole(tempText, cleanDescription) || !WriteWhole(tempSave, bytes)) {
        fs::remove(tempText, ec);
        fs::remove(tempSave, ec);
        outcome.reason = "the save could not be written";
        return outcome;
    }
    // The save first: until its description follows it shows without one,
    // never as a save whose file is gone.
    fs::rename(tempSave, community / (stored + ".tvd"), ec);
    if (!ec) {
        fs::rename(tempText, community / (stored + ".txt"), ec);
    }
    if (ec) {
        fs::remove(tempText, ec);
        fs::remove(tempSave, ec);
        fs::remove(community / (stored + ".tvd"), ec);
        outcome.reason = "the save could not be stored";
        return outcome;
    }
    outcome.stored = true;
    outcome.storedName = stored;
    return outcome;
}

} // namespace tolvar::server

namespace tolvar::server {

fs::path OnlineDatabase::UploadLogPath() const
{
    return m_root.parent_path() / "uploads.log";
}

void OnlineDatabase::LogUpload(const std::string& save, std::uint64_t size,
                               const std::string& address)
{
    constexpr std::uintmax_t kMaxLogBytes = 1 << 20;
    std::lock_guard lock(m_uploadMutex);
    std::error_code ec;
    const fs::path log = UploadLogPath();
    if (fs::file_size(log, ec) > kMaxLogBytes && !ec) {
        fs::rename(log, log.string() + ".1", ec); // the one before is kept, no more
    }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::ofstream(log, std::ios::app)
        << date << '\t' << size << '\t' << address << '\t' << save << '\n';
}

bool OnlineDatabase::Remove(const std::string& save, std::string& error)
{
    const std::optional<fs::path> file = Resolve(save + ".tvd");
    const std::optional<fs::path> text = Resolve(save + ".txt");
    if ((!file || !IsRegularFile(*file)) && (!text || !IsRegularFile(*text))) {
        error = "no save " + save;
        return false;
    }
    const std::size_t slash = save.rfind('/');
    const fs::path target = m_root.parent_path() / "removed" /
                            (slash == std::string::npos ? "" : save.substr(0, slash));
    const std::string name = slash == std::string::npos ? save : save.substr(slash + 1);
    std::lock_guard lock(m_uploadMutex);
    std::error_code ec;
    fs::create_directories(target, ec);
    std::string kept = name;
    for (int n = 2; fs::exists(target / (kept + ".tvd")) || fs::exists(target / (kept + ".txt"));
         ++n) {
        kept = name + " (" + std::to_string(n) + ")";
    }
    for (const auto& [from, ext] : {std::pair{file, ".tvd"}, std::pair{text, ".txt"}}) {
        if (from && IsRegularFile(*from)) {
            fs::rename(*from, target / (kept + ext), ec);
            if (ec) {
                error = "cannot move " + from->string() + ": " + ec.message();
                return false;
            }
        }
    }
    return true;
}

} // namespace tolvar::server
