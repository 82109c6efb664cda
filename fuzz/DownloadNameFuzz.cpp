// A file name a server offers for a download. A name the download rule
// accepts, joined to a folder, must name a file directly in that folder:
// after the separators and "." and ".." are resolved it is the folder plus
// one more component, that name itself.
#include "fuzz/FuzzCheck.h"
#include "platform/fs/Path.h"

#include <filesystem>
#include <iterator>
#include <string>

using namespace tolvar;
using fuzz::Check;

namespace {

std::filesystem::path Resolved(const std::string& programPath)
{
    std::string posix;
    Check(fs::MapPathAsWritten(programPath.c_str(), posix), "the path maps");
    return std::filesystem::path(posix).lexically_normal();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const char* name = raw.c_str(); // up to the first NUL, as a C caller sees it
    if (!fs::IsSafeDownloadName(name)) {
        return 0;
    }
    Check(fs::IsPlainFileName(name), "a safe name is a plain name");
    for (const char* p = name; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        Check(byte != ':' && byte >= 0x20 && byte != 0x7F, "no drive colon, no control byte");
    }
    for (const std::string folder : {"\\srv\\Temp\\", "Saves\\", "\\srv/a\\b/"}) {
        std::string path;
        Check(fs::JoinFileName(folder, name, path), "a safe name joins");
        if (path.size() >= fs::kMaxPath) {
            continue; // too long to map: the program refuses such a path
        }
        const std::filesystem::path file = Resolved(path);
        const std::filesystem::path parent = Resolved(folder);
        Check(file.parent_path() == parent.parent_path(), "the file stays in its folder");
        Check(std::distance(file.begin(), file.end()) ==
                  std::distance(parent.begin(), parent.end()),
              "one component more than the folder");
        Check(file.filename() == name, "the last component is the name");
    }
    return 0;
}
