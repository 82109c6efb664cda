#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace tolvar::server {

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

    std::optional<std::filesystem::path> Resolve(const std::string& relative) const;

    // base is "http://host:port", the address the client used.
    std::optional<std::string> ListDocument(const std::string& folder, const std::string& base) const;
    std::optional<std::string> DetailDocument(const std::string& save, const std::string& base) const;
    std::optional<std::filesystem::path> SaveFile(const std::string& path) const;
    std::optional<std::filesystem::path> CodeList() const;

    UploadOutcome StoreUpload(const std::string& saveName, const std::string& description,
                              const std::string& bytes);

    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root;
    std::mutex m_uploadMutex;
    unsigned m_uploadCounter = 0;
};

} // namespace tolvar::server
