// tolvar-skin-generator RESOURCES_DIR: draws every bitmap and icon of the skin
// into RESOURCES_DIR/bitmaps and RESOURCES_DIR/icons, and once more at twice
// the detail for high-density screens into their 2x folders. The PNGs are committed;
// run this after changing a drawing (cmake --build ... --target regenerate-skin).
// tolvar-skin-generator --app-icon SIZE FILE: the application icon at SIZE
// pixels, for the desktop's icon theme.
#include "resources/generator/PngWriter.h"
#include "resources/generator/SkinArtist.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    using namespace tolvar::skin;
    if (argc == 4 && std::string(argv[1]) == "--app-icon") {
        const int size = std::atoi(argv[2]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "icon size out of range: %s\n", argv[2]);
            return 2;
        }
        const std::filesystem::path file = argv[3];
        if (file.has_parent_path()) {
            std::filesystem::create_directories(file.parent_path());
        }
        SkinArtist artist;
        return WritePng(file.string(), artist.AppIcon(size), PngAlpha::Keep) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCES_DIR\n       %s --app-icon SIZE FILE\n", argv[0],
                     argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path root = argv[1];
        int failures = 0;
        for (int scale : {1, 2}) {
            SetDrawScale(scale);
            const std::filesystem::path bitmaps =
                scale == 1 ? root / "bitmaps" : root / "bitmaps" / "2x";
            const std::filesystem::path icons = scale == 1 ? root / "icons" : root / "icons" / "2x";
            std::filesystem::create_directories(bitmaps);
            std::filesystem::create_directories(icons);
            SkinArtist artist;
            for (const Picture& p : artist.DrawAll()) {
                const auto path = (bitmaps / p.file).string();
                if (!WritePng(path, p.canvas, PngAlpha::Opaque)) {
                    std::fprintf(stderr, "cannot write %s\n", path.c_str());
                    ++failures;
                }
            }
            // The application, tray and About icons share one picture.
            for (const char* file : {"195_application.png", "159_tray.png", "128_about.png"}) {
                const auto path = (icons / file).string();
                if (!WritePng(path, artist.AppIcon(32), PngAlpha::Keep)) {
                    std::fprintf(stderr, "cannot write %s\n", path.c_str());
                    ++failures;
                }
            }
        }
        return failures == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
