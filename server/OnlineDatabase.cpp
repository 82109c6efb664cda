#include "server/OnlineDatabase.h"

#include "saveformat/SaveFormat.h"
#include "server/DatabaseText.h"
#include "server/ParallelFor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace tolvar::server {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxDescriptionBytes = 1024;
constexpr std::size_t kMaxKnownTexts = 1000000; // descriptions kept between listings
constexpr std::size_t kMaxReaders = 4;
constexpr std::size_t kThreadsFrom = 512; // reads worth a thread's start

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

// A description as a list shows it: on one line, cleaned. Changes raw.
std::string CleanDescription(std::span<char> raw)
{
    for (char& c : raw) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return CleanText(std::string_view(raw.data(), raw.size()), kMaxDescriptionBytes);
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

FileStamp FileStamp::Of(const struct stat& info)
{
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

FileStamp FileStamp::OfRead(ino_t inode, off_t size, timespec began, std::int64_t clockShift)
{
    FileStamp stamp;
    stamp.inode = inode;
    stamp.size = size;
    stamp.changed = began;
    stamp.ofRead = true;
    stamp.clockShift = clockShift;
    return stamp;
}

std::int64_t FileStamp::WallClockShift()
{
    timespec wall{};
    timespec boot{};
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_BOOTTIME, &boot);
    return (static_cast<std::int64_t>(wall.tv_sec) - boot.tv_sec) * 1000000000 +
           (wall.tv_nsec - boot.tv_nsec);
}

bool FileStamp::Confirms(const struct stat& info, std::int64_t clockShiftNow) const
{
    const auto before = [&](const timespec& time) {
        return time.tv_sec < changed.tv_sec - kSettled.count();
    };
    // A wall clock set in between moves its shift; one slewed drifts a
    // second only in half an hour, and then the file is read again.
    constexpr std::int64_t kClockSet = 1000000000;
    const std::int64_t shifted = clockShiftNow - clockShift;
    return ofRead && S_ISREG(info.st_mode) && info.st_ino == inode &&
           (size < 0 ? info.st_size > -size : info.st_size == size) && before(info.st_ctim) &&
           before(info.st_mtim) && shifted < kClockSet && shifted > -kClockSet;
}

bool FileStamp::operator==(const FileStamp& other) const
{
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return !ofRead && !other.ofRead && device == other.device && inode == other.inode &&
           size == other.size && same(modified, other.modified) && same(changed, other.changed);
}

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

namespace {

// Reads into `into` until `wanted` bytes or the file's end; how many came.
std::size_t ReadFully(int fd, char* into, std::size_t wanted)
{
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t n = read(fd, into + done, wanted - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

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
        data.resize(ReadFully(fd, data.data(), wanted));
        bytes = std::move(data);
    }
    close(fd);
    return bytes;
}

OnlineDatabase::ReadText OnlineDatabase::ReadDescription(int dirFd, const char* file,
                                                         const ReadText* unstamped)
{
    // As ReadAt, onto the stack: a description is small and there may be
    // tens of thousands of them.
    ReadText out;
    const bool stamped = unstamped == nullptr;
    const int fd = openat(dirFd, file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return out;
    }
    std::array<char, kMaxDescriptionBytes + 1> buffer;
    std::size_t done = 0;
    if (stamped) {
        struct stat info
        {
        };
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(fd);
            return out;
        }
        done = ReadFully(fd, buffer.data(),
                         static_cast<std::size_t>(std::min<off_t>(
                             info.st_size, static_cast<off_t>(kMaxDescriptionBytes))));
        out.stamp = FileStamp::Of(info);
        out.checked = std::chrono::steady_clock::now();
    } else {
        // Without a stat: the folder said it is a regular file and the open
        // followed no link; a folder or a pipe swapped in meanwhile fails
        // the read. A regular file's read stops short only at its end, so
        // one byte more than a description keeps tells whether there is more.
        ssize_t n = -1;
        do {
            n = read(fd, buffer.data(), buffer.size());
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            close(fd);
            return out;
        }
        done = std::min(static_cast<std::size_t>(n), kMaxDescriptionBytes);
        const off_t size = static_cast<std::size_t>(n) > kMaxDescriptionBytes
                               ? -static_cast<off_t>(kMaxDescriptionBytes)
                               : static_cast<off_t>(n);
        out.stamp = unstamped->stamp;
        out.stamp.size = size;
        out.checked = unstamped->checked;
    }
    close(fd);
    out.text = CleanDescription(std::span(buffer.data(), done));
    return out;
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

namespace {

// A folder's entry as readdir (or a stat when it cannot say) gave it; a
// save's file and description go by their stem, so that they meet when
// sorted.
struct Found
{
    std::string name; // without ".tvd" or ".txt" for those
    enum Ext : std::uint8_t
    {
        kSave,
        kText,
        kOther,
    } ext;
    unsigned char type;
    ino_t inode;
    std::size_t read; // a description's number among those read during the scan, or npos

    std::string File() const
    {
        return ext == kSave ? name + ".tvd" : ext == kText ? name + ".txt" : name;
    }
};

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The order of the lists: the lower-cased name, then the name, then a save's
// file before its description. Most names differ in their first 16 bytes,
// so those are compared first, as two numbers.
struct SortKey
{
    std::uint64_t high;
    std::uint64_t low;
    std::uint32_t index; // in the folder's entries

    static SortKey Of(std::string_view name, std::uint32_t index)
    {
        SortKey key{0, 0, index};
        for (std::size_t i = 0; i < std::min<std::size_t>(name.size(), 16); ++i) {
            const auto byte = static_cast<unsigned char>(LowerAscii(name[i]));
            (i < 8 ? key.high : key.low) |= std::uint64_t{byte} << (8 * (7 - i % 8));
        }
        return key;
    }
};

// For names whose first 16 bytes are alike once lower-cased.
bool FoundBefore(const Found& a, const Found& b)
{
    if (a.name.size() > 16 || b.name.size() > 16) {
        const std::string_view x =
            std::string_view(a.name).substr(std::min<std::size_t>(16, a.name.size()));
        const std::string_view y =
            std::string_view(b.name).substr(std::min<std::size_t>(16, b.name.size()));
        const auto lowered = [](char c) { return static_cast<unsigned char>(LowerAscii(c)); };
        const auto mismatch =
            std::mismatch(x.begin(), x.end(), y.begin(), y.end(),
                          [&](char p, char q) { return lowered(p) == lowered(q); });
        if (mismatch.first != x.end() || mismatch.second != y.end()) {
            return mismatch.first == x.end() ||
                   (mismatch.second != y.end() &&
                    lowered(*mismatch.first) < lowered(*mismatch.second));
        }
    }
    return std::tie(a.name, a.ext) < std::tie(b.name, b.ext);
}

// The entries' numbers in the order of the lists.
std::vector<std::uint32_t> SortedOrder(const std::vector<Found>& found)
{
    std::vector<SortKey> keys;
    keys.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        keys.push_back(SortKey::Of(found[i].name, static_cast<std::uint32_t>(i)));
    }
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        return a.high != b.high ? a.high < b.high
               : a.low != b.low ? a.low < b.low
                                : FoundBefore(found[a.index], found[b.index]);
    });
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (const SortKey& key : keys) {
        order.push_back(key.index);
    }
    return order;
}

bool ListedBefore(const OnlineDatabase::Entry& a, const OnlineDatabase::Entry& b)
{
    const int order = CompareNoCase(a.name, b.name);
    return order != 0 ? order < 0 : std::tie(a.name, a.folder) < std::tie(b.name, b.folder);
}

// A folder listed with nothing known of it has its descriptions read while
// it is still being scanned: the scan hands their names over in batches, a
// few helpers read them, and the scanning thread joins in when its scan is
// done. A small folder is read by the scanning thread alone.
template <typename Result> class ReadsDuringScan
{
public:
    using Reader = std::function<Result(const char* file)>;

    explicit ReadsDuringScan(Reader read) : m_read(std::move(read)) {}
    ~ReadsDuringScan() { Stop(false); }
    ReadsDuringScan(const ReadsDuringScan&) = delete;
    ReadsDuringScan& operator=(const ReadsDuringScan&) = delete;

    // The file's number among the reads, where Finish puts what it read.
    std::size_t Add(std::string_view file)
    {
        // A deque never moves what it holds, so a reader may fill it while more are added.
        m_batch.results.push_back(&m_results.emplace_back());
        m_batch.names.append(file).push_back('\0');
        if (m_batch.results.size() == kBatch) {
            Hand();
        }
        return m_results.size() - 1;
    }

    std::deque<Result> Finish()
    {
        Hand();
        Stop(true);
        return std::move(m_results);
    }

private:
    static constexpr std::size_t kBatch = 64;
    struct Batch
    {
        std::vector<Result*> results;
        std::string names; // each ended by a NUL, in the order of results
    };

    void Hand()
    {
        if (m_batch.results.empty()) {
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(std::move(m_batch));
        }
        m_batch = Batch();
        m_wake.notify_one();
        if (m_results.size() >= kThreadsFrom && !m_started) {
            m_started = true;
            const std::size_t helpers =
                std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMaxReaders) - 1;
            try {
                while (m_helpers.size() < helpers) {
                    m_helpers.emplace_back([this] { Work(); });
                }
            } catch (const std::system_error&) {
                // No thread to spare: the scanning thread reads them all.
            }
        }
    }

    // Reads batches until none is left; a helper waits for more while the
    // scan goes on.
    void Work()
    {
        for (;;) {
            Batch batch;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_pending.empty() || m_scanned; });
                if (m_pending.empty()) {
                    return;
                }
                batch = std::move(m_pending.back());
                m_pending.pop_back();
            }
            const char* name = batch.names.c_str();
            for (Result* result : batch.results) {
                *result = m_read(name);
                name += std::strlen(name) + 1;
            }
        }
    }

    // With finish, this thread reads what is left; without, it is dropped.
    void Stop(bool finish)
    {
        {
            std::lock_guard lock(m_mutex);
            m_scanned = true;
            if (!finish) {
                m_pending.clear();
            }
        }
        m_wake.notify_all();
        Work();
        for (std::thread& helper : m_helpers) {
            helper.join();
        }
        m_helpers.clear();
    }

    Reader m_read;
    std::deque<Result> m_results;
    Batch m_batch; // the scanning thread's, until handed over
    bool m_started = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Batch> m_pending; // under m_mutex
    bool m_scanned = false;       // under m_mutex
    std::vector<std::thread> m_helpers;
};

} // namespace

std::optional<std::vector<OnlineDatabase::Entry>>
OnlineDatabase::List(const std::string& folder, bool descriptions, bool fileTimes) const
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
    // What this folder's descriptions said when it was last listed, with
    // their files' stat: a big folder listed again after an upload reads
    // none of them again. Taken out while in use, so two listings of the
    // folder never share it.
    KnownTexts known;
    if (descriptions) {
        std::lock_guard lock(m_textsMutex);
        if (const auto it = m_texts.find(dir->string()); it != m_texts.end()) {
            known = std::move(it->second);
            m_texts.erase(it);
        }
    }
    std::optional<ReadsDuringScan<ReadText>> reads;
    if (descriptions && known.empty()) {
        // Every read takes its stamp's time and its check's from before the
        // scan: earlier than its own, which only makes their checks stricter.
        ReadText listed;
        listed.checked = std::chrono::steady_clock::now();
        timespec began{};
        const std::int64_t clockShift = FileStamp::WallClockShift();
        clock_gettime(CLOCK_REALTIME, &began);
        listed.stamp = FileStamp::OfRead(0, 0, began, clockShift);
        reads.emplace(
            [dirFd, listed](const char* file) { return ReadDescription(dirFd, file, &listed); });
    }
    std::vector<Found> found;
    // Room for the entries a folder of its size may hold, so that a big one
    // is not copied over and over as it grows; untouched room costs nothing.
    if (struct stat info{}; fstat(dirFd, &info) == 0 && info.st_size > 0) {
        found.reserve(static_cast<std::size_t>(std::min<off_t>(info.st_size / 32, 1 << 22)));
    }
    while (const dirent* item = readdir(stream)) {
        const std::string_view name = item->d_name;
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
        const Found::Ext ext = name.ends_with(".tvd")   ? Found::kSave
                               : name.ends_with(".txt") ? Found::kText
                                                        : Found::kOther;
        const std::string_view stem = ext == Found::kOther ? name : name.substr(0, name.size() - 4);
        // A link takes the whole path check later; a regular description
        // is read now, by name within the folder, as it would be then.
        const std::size_t read =
            reads && ext == Found::kText && type == DT_REG ? reads->Add(name) : std::string::npos;
        found.push_back({std::string(stem), ext, type, item->d_ino, read});
    }
    // In the order of the list, a save's file just before its description.
    const std::vector<std::uint32_t> order = SortedOrder(found);

    // Links are followed with the whole path check; the rest is what readdir said.
    const auto kindOf = [&](const Found& item) -> unsigned char {
        if (item.type != DT_LNK) {
            return item.type;
        }
        const std::optional<fs::path> real = Resolve(JoinPath(folder, item.File()));
        std::error_code e;
        return !real                        ? DT_UNKNOWN
               : fs::is_directory(*real, e) ? DT_DIR
               : IsRegularFile(*real)       ? DT_REG
                                            : DT_UNKNOWN;
    };
    std::vector<Entry> entries;
    entries.reserve(found.size());
    std::vector<WantedText> wanted; // the descriptions still to be read
    const auto addFolder = [&](const Found& item) {
        if (item.type == DT_LNK && LeadsRound(JoinPath(folder, item.File()))) {
            return;
        }
        Entry entry;
        entry.folder = true;
        entry.name = item.File();
        entries.push_back(std::move(entry));
    };
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Found& item = found[order[i]];
        if (item.ext == Found::kOther) {
            if (kindOf(item) == DT_DIR) {
                addFolder(item);
            }
            continue;
        }
        const Found* save = item.ext == Found::kSave ? &item : nullptr;
        const Found* text = item.ext == Found::kText ? &item : nullptr;
        if (const Found* next = i + 1 < order.size() ? &found[order[i + 1]] : nullptr;
            save != nullptr && next != nullptr && next->ext == Found::kText &&
            next->name == item.name) {
            text = next;
            ++i;
        }
        const unsigned char saveKind =
            save != nullptr ? kindOf(*save) : static_cast<unsigned char>(DT_UNKNOWN);
        const unsigned char textKind =
            text != nullptr ? kindOf(*text) : static_cast<unsigned char>(DT_UNKNOWN);
        if (saveKind == DT_DIR) {
            addFolder(*save);
        }
        if (textKind == DT_DIR) {
            addFolder(*text);
        }
        // A save is its file, or a description whose file is gone.
        if (item.name.empty() || (saveKind != DT_REG && textKind != DT_REG)) {
            continue;
        }
        Entry entry;
        entry.name = item.name;
        if (saveKind == DT_REG) {
            struct stat info
            {
            };
            if (fileTimes) {
                if (save->type == DT_LNK
                        ? stat(Resolve(JoinPath(folder, save->File()))->c_str(), &info) != 0
                        : fstatat(dirFd, save->File().c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                entry.size = static_cast<std::int64_t>(info.st_size);
                entry.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec);
            } else {
                entry.size = 0;
            }
        }
        if (descriptions && text != nullptr) {
            wanted.push_back({entries.size(), text->type != DT_REG, text->inode, text->read});
        }
        entries.push_back(std::move(entry));
    }
    std::deque<ReadText> readDuringScan = reads ? reads->Finish() : std::deque<ReadText>();
    if (!wanted.empty()) {
        ReadDescriptions(*dir, folder, dirFd, entries, wanted, std::move(known), readDuringScan);
    }
    closedir(stream);
    // The client sorts the same way; sending the order it wants saves it work.
    // Only a folder named like a save's file ("X.tvd") is out of place.
    if (!std::is_sorted(entries.begin(), entries.end(), ListedBefore)) {
        std::sort(entries.begin(), entries.end(), ListedBefore);
    }
    return entries;
}

void OnlineDatabase::ReadDescriptions(const fs::path& dir, const std::string& folder, int dirFd,
                                      std::vector<Entry>& entries,
                                      const std::vector<WantedText>& wanted, KnownTexts known,
                                      std::deque<ReadText>& readDuringScan) const
{
    // A known description of the same inode is taken as unchanged for a
    // minute, then its stamp is compared, so an edit in place shows within
    // the minute.
    const auto now = std::chrono::steady_clock::now();
    std::vector<const KnownText*> before(wanted.size(), nullptr);
    for (std::size_t i = 0, k = 0; i < wanted.size() && k < known.size(); ++i) {
        const Entry& entry = entries[wanted[i].entry];
        while (k < known.size() && ListedBefore(Entry{false, known[k].name}, entry)) {
            ++k;
        }
        if (k < known.size() && known[k].name == entry.name) {
            before[i] = &known[k];
        }
    }
    std::vector<std::size_t> unread; // not read during the scan
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i].read == std::string::npos) {
            unread.push_back(i);
        }
    }
    std::vector<ReadText> readNow(unread.size());
    // A link takes the whole path check and is never kept.
    const auto readOne = [&](std::size_t j) {
        const std::size_t i = unread[j];
        const WantedText& want = wanted[i];
        ReadText& out = readNow[j];
        out.checked = now;
        const std::string file = entries[want.entry].name + ".txt";
        struct stat info
        {
        };
        if (const KnownText* kept = before[i]; kept != nullptr && !want.link) {
            if (kept->stamp.inode == want.inode && now - kept->checked < std::chrono::minutes(1)) {
                out = {kept->text, kept->stamp, kept->checked};
                return;
            }
            // A stamp of a read is confirmed once, and then kept as the stat.
            if (fstatat(dirFd, file.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                (FileStamp::Of(info) == kept->stamp ||
                 kept->stamp.Confirms(info, FileStamp::WallClockShift()))) {
                out.text = kept->text;
                out.stamp = FileStamp::Of(info);
                return;
            }
        }
        if (!want.link) {
            out = ReadDescription(dirFd, file.c_str(), nullptr);
            out.checked = now;
        } else if (std::optional<std::string> raw =
                       ReadFile(JoinPath(folder, file), kMaxDescriptionBytes)) {
            out.text = CleanDescription(*raw);
        }
    };
    // Tens of thousands of small reads are shared among a few threads.
    ParallelFor(unread.size(), 64, unread.size() < kThreadsFrom ? 1 : kMaxReaders, readOne);
    // Each text goes to its entry and, unless it is a link's, to what is
    // kept; their places are counted first, so that a few threads can
    // copy them.
    std::vector<ReadText*> got(wanted.size());
    std::vector<std::size_t> keptAt(wanted.size(), std::string::npos);
    std::size_t keptCount = 0;
    for (std::size_t i = 0, j = 0; i < wanted.size(); ++i) {
        got[i] =
            wanted[i].read != std::string::npos ? &readDuringScan[wanted[i].read] : &readNow[j++];
        if (got[i]->text && !wanted[i].link) {
            keptAt[i] = keptCount++;
        }
    }
    KnownTexts fresh(keptCount);
    ParallelFor(wanted.size(), 1024, wanted.size() < kThreadsFrom ? 1 : kMaxReaders,
                [&](std::size_t i) {
                    ReadText& text = *got[i];
                    if (!text.text) {
                        return;
                    }
                    Entry& entry = entries[wanted[i].entry];
                    if (text.stamp.ofRead) {
                        text.stamp.inode = wanted[i].inode;
                    }
                    if (keptAt[i] != std::string::npos) {
                        fresh[keptAt[i]] = {entry.name, text.stamp, *text.text, text.checked};
                    }
                    entry.description = std::move(*text.text);
                });
    std::lock_guard lock(m_textsMutex);
    std::size_t total = fresh.size();
    for (const auto& [path, kept] : m_texts) {
        total += kept.size();
    }
    if (total > kMaxKnownTexts) {
        m_texts.clear();
    }
    m_texts[dir.string()] = std::move(fresh);
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

std::string SettingsPage(const DocumentLinks& links, const std::string& uploadBase,
                         const std::string& filesBase)
{
    return "SAVES_URL=" + links.List("") + "\r\n" + "UPLOAD_URL=" + uploadBase +
           "/tolvar_upload.asp?\r\n" + "CODELIST_URL=" + filesBase + "/codelist.bin\r\n";
}

std::string ServerLinks::List(const std::string& folder) const
{
    return m_base + "/tolvar_list.asp?folder=" + EncodeQueryValue(folder);
}

std::string ServerLinks::Detail(const std::string& save) const
{
    std::string url;
    AppendDetail(url, save);
    return url;
}

void ServerLinks::AppendDetail(std::string& out, const std::string& save) const
{
    out.append(m_base).append("/tolvar_save.asp?save=");
    AppendQueryValue(out, save);
}

std::string ServerLinks::Download(const std::string& saveFile) const
{
    return m_base + "/saves/" + EncodeDownloadPath(saveFile);
}

namespace {

void WriteListEntry(std::string& doc, const std::string& folder, const OnlineDatabase::Entry& entry,
                    const DocumentLinks& links)
{
    const std::string relative = JoinPath(folder, entry.name);
    if (entry.folder) {
        doc.append("  <folder>\r\n    <name>")
            .append(EncodeDisplayValue(entry.name))
            .append("</name>\r\n    <url>")
            .append(links.List(relative))
            .append("</url>\r\n  </folder>\r\n");
    } else {
        doc.append("  <save>\r\n    <name>");
        AppendDisplayValue(doc, entry.name);
        doc.append("</name>\r\n    <description>");
        AppendDisplayValue(doc, entry.description);
        doc.append("</description>\r\n    <url>");
        links.AppendDetail(doc, relative);
        doc.append("</url>\r\n  </save>\r\n");
    }
}

} // namespace

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
    std::optional<std::vector<std::string>> pieces = ListDocument(folder, links, nullptr);
    if (!pieces) {
        return std::nullopt;
    }
    std::size_t size = 0;
    for (const std::string& piece : *pieces) {
        size += piece.size();
    }
    std::string doc;
    doc.reserve(size);
    for (const std::string& piece : *pieces) {
        doc += piece;
    }
    return doc;
}

std::optional<std::vector<std::string>>
OnlineDatabase::ListDocument(const std::string& folder, const DocumentLinks& links,
                             const PieceWritten& written) const
{
    std::optional<std::vector<Entry>> entries = List(folder, true, false);
    if (!entries) {
        return std::nullopt;
    }
    if (entries->empty()) {
        std::vector<std::string> pieces{"<result></result>"};
        if (written) {
            written(0, 1, pieces[0]);
        }
        return pieces;
    }
    // Indented so that every closing tag has text before it: some readers
    // lose the siblings that follow a closing tag written flush. A big
    // folder's is written in pieces on a few threads.
    constexpr std::size_t kPiece = 1024;
    std::vector<std::string> pieces((entries->size() + kPiece - 1) / kPiece);
    ParallelFor(pieces.size(), 1, kMaxReaders, [&](std::size_t k) {
        const auto from = entries->begin() + static_cast<std::ptrdiff_t>(k * kPiece);
        const auto to = entries->begin() +
                        static_cast<std::ptrdiff_t>(std::min((k + 1) * kPiece, entries->size()));
        std::string& piece = pieces[k];
        piece.reserve(kPiece * 200);
        if (k == 0) {
            piece += "<result>\r\n";
        }
        for (const Entry& entry : std::span(from, to)) {
            WriteListEntry(piece, folder, entry, links);
        }
        if (k + 1 == pieces.size()) {
            piece += "</result>\r\n";
        }
        if (written) {
            written(k, pieces.size(), piece);
        }
    });
    return pieces;
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
