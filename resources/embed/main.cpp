// tolvar-embed-pictures OUT.cpp RAW_DIR BITMAPS_DIR ICONS_DIR: builds the
// skin into the program, with the pictures of the 2x folders beside them (for
// high-density screens) in tables of their own, in the same order. Each PNG is kept as it is and
// also decoded here, once, to the BGRA pixels the program draws with, so that starting the program
// decodes nothing. Both are taken in by the assembler (.incbin); OUT.cpp names every file with a
// hash of its bytes, so that a compiler cache sees a new picture as a new source.
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fsys = std::filesystem;

namespace {

std::vector<unsigned char> ReadAll(const fsys::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint64_t Fnv1a(const void* data, std::size_t size)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    }
    return hash;
}

struct Picture
{
    int id = 0;
    std::string name;
    fsys::path png;
    fsys::path raw;
    std::size_t pngSize = 0;
    std::uint64_t hash = 0;
    unsigned width = 0;
    unsigned height = 0;
};

// The program's general decoder (libpng's simplified API to 8-bit BGRA), so
// the pixels are the ones it would decode itself.
bool Decode(const std::vector<unsigned char>& bytes, Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    picture.width = image.width;
    picture.height = image.height;
    picture.hash = Fnv1a(bytes.data(), bytes.size()) ^ Fnv1a(pixels.data(), pixels.size());
    std::ofstream out(picture.raw, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out.flush());
}

bool Embed(const fsys::path& dir, const fsys::path& rawDir, const std::string& table,
           std::ostringstream& assembly, std::ostringstream& declarations,
           std::ostringstream& tables)
{
    std::vector<fsys::path> files;
    for (const auto& entry : fsys::directory_iterator(dir)) {
        if (entry.path().extension() == ".png") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::ostringstream rows;
    for (std::size_t index = 0; index < files.size(); ++index) {
        Picture picture;
        picture.png = fsys::absolute(files[index]);
        picture.raw = fsys::absolute(rawDir / (table + std::to_string(index) + ".bgra"));
        const std::string stem = files[index].stem().string();
        std::smatch match;
        if (std::regex_match(stem, match, std::regex("([0-9]+)(_.*)?"))) {
            picture.id = std::stoi(match[1].str());
        } else {
            picture.name = stem;
        }
        const std::vector<unsigned char> bytes = ReadAll(files[index]);
        picture.pngSize = bytes.size();
        if (bytes.empty() || !Decode(bytes, picture)) {
            std::fprintf(stderr, "tolvar-embed-pictures: cannot read %s\n",
                         files[index].string().c_str());
            return false;
        }
        const std::string symbol = "tolvar_" + table + std::to_string(index);
        char hash[32];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(picture.hash));
        assembly << "// " << files[index].filename().string() << " " << hash << "\n"
                 << "asm(\".pushsection .rodata\\n.globl " << symbol << "_png\\n.hidden " << symbol
                 << "_png\\n"
                 << symbol << "_png:\\n.incbin \\\"" << picture.png.string() << "\\\"\\n\"\n"
                 << "    \".balign 16\\n.globl " << symbol << "_bgra\\n.hidden " << symbol
                 << "_bgra\\n"
                 << symbol << "_bgra:\\n.incbin \\\"" << picture.raw.string()
                 << "\\\"\\n.popsection\\n\");\n";
        declarations << "extern \"C\" const unsigned char " << symbol << "_png[];\n"
                     << "extern \"C\" const std::uint32_t " << symbol << "_bgra[];\n";
        rows << "    {" << picture.id << ", \"" << picture.name << "\", " << symbol << "_png, "
             << picture.pngSize << ", " << symbol << "_bgra, " << picture.width << ", "
             << picture.height << "},\n";
    }
    tables << "const EmbeddedPicture k" << table << "[] = {\n" << rows.str() << "};\n";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: tolvar-embed-pictures OUT.cpp RAW_DIR BITMAPS_DIR ICONS_DIR\n");
        return 2;
    }
    const fsys::path rawDir = argv[2];
    fsys::create_directories(rawDir);
    std::ostringstream assembly;
    std::ostringstream declarations;
    std::ostringstream tables;
    const fsys::path bitmaps = argv[3], icons = argv[4];
    if (!Embed(bitmaps, rawDir, "Bitmaps", assembly, declarations, tables) ||
        !Embed(icons, rawDir, "Icons", assembly, declarations, tables) ||
        !Embed(bitmaps / "2x", rawDir, "Bitmaps2x", assembly, declarations, tables) ||
        !Embed(icons / "2x", rawDir, "Icons2x", assembly, declarations, tables)) {
        return 1;
    }
    std::ostringstream text;
    text << "// Generated from resources/bitmaps and resources/icons; do not edit.\n"
         << "#include \"resources/Resources.h\"\n\n#include <cstdint>\n\n"
         << assembly.str() << "\n"
         << declarations.str() << "\nnamespace tolvar {\nnamespace {\n\n"
         << tables.str() << "\n} // namespace\n\n"
         << "std::span<const EmbeddedPicture> BitmapResources() { return kBitmaps; }\n"
         << "std::span<const EmbeddedPicture> IconResources() { return kIcons; }\n"
         << "std::span<const EmbeddedPicture> BitmapResourcesAt2x() { return kBitmaps2x; }\n"
         << "std::span<const EmbeddedPicture> IconResourcesAt2x() { return kIcons2x; }\n\n"
         << "} // namespace tolvar\n";
    std::ofstream(argv[1], std::ios::binary | std::ios::trunc) << text.str();
    return 0;
}
