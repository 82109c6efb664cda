// A file on a drive, read the way a scan reads it: the input is written to a
// temporary file and handed to ReadSaveInfo. It must accept exactly the
// files the save format calls valid, and fill the entry with the save's name.
#include "fuzz/FuzzCheck.h"
#include "platform/base/MessageBox.h"
#include "saveformat/SaveFormat.h"
#include "storage/SaveEntry.h"
#include "storage/SaveFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace tolvar;
using fuzz::Check;

namespace {

struct Scratch
{
    std::filesystem::path folder;
    std::string posixFile;
    std::string programFile;

    Scratch()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvar-fuzz-XXXXXX").string();
        Check(mkdtemp(pattern.data()) != nullptr, "a scratch folder");
        folder = pattern;
        posixFile = (folder / "save.tvd").string();
        programFile = posixFile;
        for (char& c : programFile) {
            c = c == '/' ? '\\' : c;
        }
        // The messages a corrupt file brings are expected here; nobody reads them.
        SetMessageBoxHandler([](const std::string&, unsigned) { return IDOK; });
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Scratch scratch;
    {
        std::ofstream out(scratch.posixFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Check(out.good(), "the input is written");
    }
    SaveEntry entry;
    const bool read = ReadSaveInfo(scratch.programFile.c_str(), entry);

    std::vector<std::uint8_t> bytes(data, data + size);
    const bool valid = IsValidSaveBuffer(bytes.data(), bytes.size());
    Check(read == valid, "a scan accepts exactly the valid saves");
    if (read) {
        SaveHeaderFields fields;
        ReadSaveHeaderFields(data, size, fields);
        Check(fields.saveName == entry.m_saveName, "the entry holds the save's name");
        Check(entry.m_displayText.starts_with(entry.m_saveName),
              "the display text starts with the save's name");
    }
    return 0;
}
