#include "bench/BenchSaves.h"

#include "saveformat/SaveFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tolvar::bench {

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/tolvar-bench-XXXXXX";
    m_path = mkdtemp(pattern);
}

TempFolder::~TempFolder()
{
    std::filesystem::remove_all(m_path);
}

std::vector<std::string> WriteSaves(const std::string& folder, int count, std::size_t saveBytes)
{
    std::filesystem::create_directories(folder);
    const int digits = static_cast<int>(std::to_string(count).size());
    std::vector<std::uint8_t> save(saveBytes);
    for (std::size_t i = 0; i < save.size(); ++i) {
        save[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    std::vector<std::string> files;
    for (int n = 0; n < count; ++n) {
        char name[32];
        // 7919 is a prime dividing none of our counts: every name comes once.
        std::snprintf(name, sizeof name, "Save %0*d", digits, (n * 7919) % count);
        std::memcpy(save.data() + 100, &n, sizeof n);
        SetSaveName(save.data(), static_cast<std::uint32_t>(save.size()), name);
        char file[32];
        std::snprintf(file, sizeof file, "/%0*d.tvd", digits, n);
        files.push_back(folder + file);
        FILE* out = std::fopen(files.back().c_str(), "wb");
        std::fwrite(save.data(), 1, save.size(), out);
        std::fclose(out);
    }
    return files;
}

std::string ProgramStyle(std::string path)
{
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

} // namespace tolvar::bench
