#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

namespace tolvar::server {

// How a document names the documents and files it leads to: the server's
// own query addresses, or the static files of an export.
class DocumentLinks
{
public:
    virtual ~DocumentLinks() = default;
    virtual std::string List(const std::string& folder) const = 0;
    virtual std::string Detail(const std::string& save) const = 0;
    virtual std::string Download(const std::string& saveFile) const = 0;
    // Detail, written onto the end of out.
    virtual void AppendDetail(std::string& out, const std::string& save) const
    {
        out += Detail(save);
    }
};

// The addresses this server answers; base is "http://host:port".
class ServerLinks final : public DocumentLinks
{
public:
    explicit ServerLinks(std::string base) : m_base(std::move(base)) {}
    std::string List(const std::string& folder) const override;
    std::string Detail(const std::string& save) const override;
    std::string Download(const std::string& saveFile) const override;
    void AppendDetail(std::string& out, const std::string& save) const override;

private:
    std::string m_base;
};

// The settings page the client reads first: where the top-level list is,
// where uploads go ("http://host:port" of tolvar-server) and where the code
// list is (the address the files are served from).
std::string SettingsPage(const DocumentLinks& links, const std::string& uploadBase,
                         const std::string& filesBase);

// What tells a file edited or replaced from the one seen before.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0; // for a stamp of a read, -n: more than n bytes
    timespec modified{};
    timespec changed{}; // for a stamp of a read, when the read began
    bool ofRead = false;
    std::int64_t clockShift = 0; // for a stamp of a read, WallClockShift() then

    static FileStamp Of(const struct stat& info);
    // A file read without a stat: the inode its folder named, the bytes
    // read and when the read began.
    static FileStamp OfRead(ino_t inode, off_t size, timespec began, std::int64_t clockShift);
    // The wall clock against the boot clock, in nanoseconds: it moves when
    // the wall clock is set.
    static std::int64_t WallClockShift();
    bool operator==(const FileStamp& other) const;
    // Whether info, with the wall clock's shift now, shows the file of a
    // stamp of a read as it was read. A change sets a file's ctime to the
    // wall clock's time, so a file changed after the read began has a ctime
    // after it, give or take the clock's steps; one changed at least
    // kSettled before it is taken as read, when the clock was not set
    // meanwhile. Never for a stamp that is not of a read.
    bool Confirms(const struct stat& info, std::int64_t clockShiftNow) const;
    static constexpr std::chrono::seconds kSettled{60};
};

// An online database kept as a folder tree: every folder is a folder of the
// database, every "NAME.tvd" a save named NAME, "NAME.txt" its description,
// and a "NAME.txt" without its save a save whose file is gone. The root's
// "codelist.bin" is the code list. Names starting with "." are hidden.
//
// Items are named by paths relative to the root with "/" between folders;
// nothing outside the root is ever read or written, symbolic links that lead
// out included.
class OnlineDatabase
{
public:
    static constexpr std::uint64_t kMaxSaveBytes = 16ull * 1024 * 1024;
    static constexpr const char* kCommunityFolder = "Online Community";

    struct UploadOutcome
    {
        bool stored = false;
        std::string reason;     // why not, when not stored
        std::string storedName; // the save's name in the community folder
    };

    // Throws std::filesystem::filesystem_error when root is not a folder.
    explicit OnlineDatabase(const std::filesystem::path& root);

    // A folder or a save of the database as a listing shows it.
    struct Entry
    {
        bool folder = false;
        std::string name;          // the folder's, or the save's without ".tvd"
        std::string description;   // a save's, cleaned
        std::int64_t size = -1;    // a save file's bytes (0 unless asked); -1: its file is gone
        std::int64_t modified = 0; // a save file's time, seconds since 1970, when asked
    };

    std::optional<std::filesystem::path> Resolve(const std::string& relative) const;

    // The contents of a regular file inside the root, at most maxBytes of
    // it; nothing for anything else (a link out, a folder, a pipe, a device).
    std::optional<std::string> ReadFile(const std::string& relative, std::uint64_t maxBytes) const;

    // A folder's entries in the order the client shows them; links that lead
    // back to the folder or to a folder above it are left out, so the tree
    // has an end. Nothing when the folder is not one.
    // Without descriptions, nothing but the folder is read; without file
    // times, a save's file is not looked at beyond the folder's entry.
    std::optional<std::vector<Entry>> List(const std::string& folder, bool descriptions = true,
                                           bool fileTimes = true) const;
    // A save's title id from its header; empty when it has none.
    std::string TitleId(const std::string& save) const;

    // What changes when a folder's entries do (its identity and times), after
    // the same checks as List; nothing when the folder is not one to list.
    std::optional<std::string> FolderStamp(const std::string& folder) const;

    // base is "http://host:port", the address the client used.
    std::optional<std::string> ListDocument(const std::string& folder,
                                            const std::string& base) const;
    std::optional<std::string> DetailDocument(const std::string& save,
                                              const std::string& base) const;
    std::optional<std::string> ListDocument(const std::string& folder,
                                            const DocumentLinks& links) const;
    std::optional<std::string> DetailDocument(const std::string& save,
                                              const DocumentLinks& links) const;
    // The list document in pieces, in order; each is handed to written (when
    // given) on the thread that wrote it as soon as it is whole, with its
    // number and how many there are.
    using PieceWritten = std::function<void(std::size_t k, std::size_t count, const std::string&)>;
    std::optional<std::vector<std::string>> ListDocument(const std::string& folder,
                                                         const DocumentLinks& links,
                                                         const PieceWritten& written) const;
    // The bytes of a save file or of the code list.
    std::optional<std::string> SaveFile(const std::string& path) const;
    std::optional<std::string> CodeList() const;

    UploadOutcome StoreUpload(const std::string& saveName, const std::string& description,
                              const std::string& bytes);

    const std::filesystem::path& Root() const { return m_root; }

    // Moderation: moves a save and its description out of the database into
    // "removed" beside it (never deleted); false with the reason otherwise.
    bool Remove(const std::string& save, std::string& error);
    // The small log of community uploads beside the database: one line each,
    // date, size, client address and the save's path, tab-separated.
    void LogUpload(const std::string& save, std::uint64_t size, const std::string& address);
    std::filesystem::path UploadLogPath() const;

private:
    bool LeadsRound(const std::string& folder) const;
    // A regular file named relative to an open folder, read as ReadFile does.
    static std::optional<std::string> ReadAt(int dirFd, const std::string& name,
                                             std::uint64_t maxBytes);
    struct ReadText
    {
        std::optional<std::string> text; // cleaned; nothing when it could not be read
        FileStamp stamp;
        std::chrono::steady_clock::time_point checked; // when its stamp was last compared
    };
    // A description named relative to an open folder; no text when it is
    // not a regular file. Given unstamped, it is not looked at beyond its
    // read: its stamp is unstamped's, a stamp of a read, with the bytes read,
    // and its inode is left to the caller, who has it from the folder.
    static ReadText ReadDescription(int dirFd, const char* file, const ReadText* unstamped);
    struct KnownText
    {
        std::string name; // the save's
        FileStamp stamp;
        std::string text;
        std::chrono::steady_clock::time_point checked;
    };
    using KnownTexts = std::vector<KnownText>; // in the list's order
    struct WantedText
    {
        std::size_t entry; // the entry whose description it is
        bool link;         // the description is a link, or not a regular file
        ino_t inode;       // as the folder names it
        std::size_t read;  // its number among the texts read during the scan, or npos
    };
    void ReadDescriptions(const std::filesystem::path& dir, const std::string& folder, int dirFd,
                          std::vector<Entry>& entries, const std::vector<WantedText>& wanted,
                          KnownTexts known, std::deque<ReadText>& readDuringScan) const;

    std::filesystem::path m_root;
    std::mutex m_uploadMutex;
    unsigned m_uploadCounter = 0;
    mutable std::mutex m_textsMutex;
    mutable std::unordered_map<std::string, KnownTexts> m_texts; // by the folder's real path
};

} // namespace tolvar::server
