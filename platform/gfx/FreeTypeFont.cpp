// Fonts: fontconfig finds the file for a family and weight, FreeType loads
// the face at the pixel size of the point size at 96 dpi and renders hinted
// glyphs into 8-bit coverage, which is kept per character. fontconfig's
// answers are remembered between starts (MatchMemory). One library and
// one lock for all fonts keep FreeType's non-thread-safe state in one place;
// the lock is only held while a glyph is rendered or measured for the first
// time. Both libraries are loaded with dlopen by the first font asked for,
// on the thread that loads the fonts beside the first frame: linked, they and
// theirs took a share of the start before main.
#include "platform/base/LibrarySymbol.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/DeviceScale.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/TextCodec.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace tolvar::gfx {
namespace {

constexpr double kDpi = 96.0;

std::mutex& FontMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct FreeTypeFunctions
{
    decltype(&FT_Init_FreeType) initFreeType;
    decltype(&FT_New_Face) newFace;
    decltype(&FT_Done_Face) doneFace;
    decltype(&FT_Set_Char_Size) setCharSize;
    decltype(&FT_Get_Char_Index) getCharIndex;
    decltype(&FT_Load_Glyph) loadGlyph;
    decltype(&FT_Render_Glyph) renderGlyph;
    bool loaded;
};

struct FontconfigFunctions
{
    decltype(&FcInit) init;
    decltype(&FcFini) fini;
    decltype(&FcPatternCreate) patternCreate;
    decltype(&FcPatternDestroy) patternDestroy;
    decltype(&FcPatternAddString) patternAddString;
    decltype(&FcPatternAddInteger) patternAddInteger;
    decltype(&FcPatternGetString) patternGetString;
    decltype(&FcPatternGetInteger) patternGetInteger;
    decltype(&FcConfigSubstitute) configSubstitute;
    decltype(&FcDefaultSubstitute) defaultSubstitute;
    decltype(&FcFontMatch) fontMatch;
    bool loaded;
};

// Not loaded when the library is missing: then no font is found, as on a
// system without fonts.
const FreeTypeFunctions& Fn()
{
    static const FreeTypeFunctions functions = [] {
        FreeTypeFunctions f{};
        void* ft = dlopen("libfreetype.so.6", RTLD_NOW | RTLD_LOCAL);
        f.loaded = FindSymbol(ft, "FT_Init_FreeType", f.initFreeType) &&
                   FindSymbol(ft, "FT_New_Face", f.newFace) &&
                   FindSymbol(ft, "FT_Done_Face", f.doneFace) &&
                   FindSymbol(ft, "FT_Set_Char_Size", f.setCharSize) &&
                   FindSymbol(ft, "FT_Get_Char_Index", f.getCharIndex) &&
                   FindSymbol(ft, "FT_Load_Glyph", f.loadGlyph) &&
                   FindSymbol(ft, "FT_Render_Glyph", f.renderGlyph);
        return f;
    }();
    return functions;
}

// Only a start whose font files are not remembered loads fontconfig.
const FontconfigFunctions& Fc()
{
    static const FontconfigFunctions functions = [] {
        FontconfigFunctions f{};
        void* fc = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_LOCAL);
        f.loaded = FindSymbol(fc, "FcInit", f.init) && FindSymbol(fc, "FcFini", f.fini) &&
                   FindSymbol(fc, "FcPatternCreate", f.patternCreate) &&
                   FindSymbol(fc, "FcPatternDestroy", f.patternDestroy) &&
                   FindSymbol(fc, "FcPatternAddString", f.patternAddString) &&
                   FindSymbol(fc, "FcPatternAddInteger", f.patternAddInteger) &&
                   FindSymbol(fc, "FcPatternGetString", f.patternGetString) &&
                   FindSymbol(fc, "FcPatternGetInteger", f.patternGetInteger) &&
                   FindSymbol(fc, "FcConfigSubstitute", f.configSubstitute) &&
                   FindSymbol(fc, "FcDefaultSubstitute", f.defaultSubstitute) &&
                   FindSymbol(fc, "FcFontMatch", f.fontMatch);
        return f;
    }();
    return functions;
}

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (Fn().initFreeType(&lib) != 0) {
            throw std::runtime_error("FreeType cannot start");
        }
        return lib;
    }();
    return library;
}

struct Glyph
{
    std::vector<std::uint8_t> coverage;
    int width = 0;
    int rows = 0;
    int left = 0; // from the pen to the first column
    int top = 0;  // from the baseline up to the first row
    int advance = 0;
};

class FreeTypeFont final : public Font
{
public:
    FreeTypeFont(FT_Face face, double pixelSize, std::string family, double points,
                 FontWeight weight)
        : m_face(face), m_pixelSize(pixelSize), m_family(std::move(family)), m_points(points),
          m_weight(weight)
    {
        m_ascent = static_cast<int>(face->size->metrics.ascender >> 6);
        m_descent = static_cast<int>((-face->size->metrics.descender) >> 6);
        m_lineHeight = static_cast<int>(face->size->metrics.height >> 6);
        if (m_lineHeight < m_ascent + m_descent) {
            m_lineHeight = m_ascent + m_descent;
        }
    }
    ~FreeTypeFont() override
    {
        std::lock_guard lock(FontMutex());
        Fn().doneFace(m_face);
    }

    int Ascent() const override { return m_ascent; }
    int Descent() const override { return m_descent; }
    int LineHeight() const override { return m_lineHeight; }
    double PixelSize() const override { return m_pixelSize; }
    std::string FamilyName() const override
    {
        return m_face->family_name ? m_face->family_name : "";
    }
    std::string StyleName() const override { return m_face->style_name ? m_face->style_name : ""; }

    const Font& AtScale(int scale) const override
    {
        if (scale <= 1) {
            return *this;
        }
        std::call_once(m_doubleOnce,
                       [this] { m_double = Font::Create(m_family, m_points * 2, m_weight); });
        return *m_double;
    }

    Size TextExtent(std::string_view text) const override
    {
        int width = 0;
        for (char32_t c : DecodeText(text)) {
            width += GlyphFor(c).advance;
        }
        return {width, m_ascent + m_descent};
    }

    int Advance(char32_t c) const override { return GlyphFor(c).advance; }

    void DrawText(Bitmap& target, Point origin, std::u32string_view text, std::uint32_t color,
                  const Rect& clip) const override
    {
        Rect bounds = clip.Intersect(target.Bounds());
        if (bounds.IsEmpty()) {
            return;
        }
        int penX = origin.x;
        int baseline = origin.y + m_ascent;
        const unsigned sr = Red(color), sg = Green(color), sb = Blue(color);
        for (char32_t c : text) {
            const Glyph& g = GlyphFor(c);
            int x0 = penX + g.left;
            int y0 = baseline - g.top;
            for (int row = 0; row < g.rows; ++row) {
                int y = y0 + row;
                if (y < bounds.top || y >= bounds.bottom) {
                    continue;
                }
                Color* dst = target.Row(y);
                const std::uint8_t* src =
                    g.coverage.data() + static_cast<std::size_t>(row) * g.width;
                for (int col = 0; col < g.width; ++col) {
                    int x = x0 + col;
                    unsigned a = src[col];
                    if (a == 0 || x < bounds.left || x >= bounds.right) {
                        continue;
                    }
                    if (a == 255) {
                        dst[x] = Rgb(sr, sg, sb);
                        continue;
                    }
                    Color d = dst[x];
                    auto mix = [a](unsigned s, unsigned t) {
                        int v = static_cast<int>(t) + (static_cast<int>(s) - static_cast<int>(t)) *
                                                          static_cast<int>(a) / 255;
                        return static_cast<unsigned>(v);
                    };
                    dst[x] = Rgb(mix(sr, Red(d)), mix(sg, Green(d)), mix(sb, Blue(d)));
                }
            }
            penX += g.advance;
        }
    }

private:
    const Glyph& GlyphFor(char32_t c) const
    {
        std::lock_guard lock(FontMutex());
        auto it = m_glyphs.find(c);
        if (it != m_glyphs.end()) {
            return it->second;
        }
        Glyph glyph;
        FT_UInt index = Fn().getCharIndex(m_face, c);
        if (index == 0 && c != U' ') {
            index = Fn().getCharIndex(m_face, U'?');
        }
        if (Fn().loadGlyph(m_face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0 &&
            Fn().renderGlyph(m_face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            FT_GlyphSlot slot = m_face->glyph;
            const FT_Bitmap& bm = slot->bitmap;
            glyph.width = static_cast<int>(bm.width);
            glyph.rows = static_cast<int>(bm.rows);
            glyph.left = slot->bitmap_left;
            glyph.top = slot->bitmap_top;
            glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
            for (int row = 0; row < glyph.rows; ++row) {
                const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
                std::copy(src, src + glyph.width,
                          glyph.coverage.begin() + static_cast<std::ptrdiff_t>(row) * glyph.width);
            }
        }
        return m_glyphs.emplace(c, std::move(glyph)).first->second;
    }

    FT_Face m_face;
    double m_pixelSize;
    std::string m_family; // as asked for, to make the twice-as-large twin
    double m_points;
    FontWeight m_weight;
    mutable std::once_flag m_doubleOnce;
    mutable FontPtr m_double;
    int m_ascent = 0;
    int m_descent = 0;
    int m_lineHeight = 0;
    mutable std::unordered_map<char32_t, Glyph> m_glyphs;
};

struct FontFile
{
    std::string path;
    int index = 0;
    bool operator==(const FontFile&) const = default;
};

// fontconfig is safe to call from any thread; this lock only keeps its
// set-up from being taken down at exit while a lookup runs.
std::mutex& MatchMutex()
{
    static std::mutex mutex;
    return mutex;
}
bool g_fontconfigEnded = false; // guarded by MatchMutex

FontFile Match(const std::string& family, FontWeight weight)
{
    std::lock_guard lock(MatchMutex());
    if (!Fc().loaded || g_fontconfigEnded) {
        return {};
    }
    // fontconfig keeps its configuration for the whole process; let it go at
    // exit so leak checkers see only our own allocations, unless a lookup
    // still runs on another thread.
    static bool initialised = [] {
        Fc().init();
        std::atexit([] {
            std::unique_lock ending(MatchMutex(), std::try_to_lock);
            if (ending.owns_lock()) {
                g_fontconfigEnded = true;
                Fc().fini();
            }
        });
        return true;
    }();
    (void)initialised;
    FontFile result;
    FcPattern* pattern = Fc().patternCreate();
    Fc().patternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    Fc().patternAddInteger(pattern, FC_WEIGHT,
                           weight == FontWeight::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    Fc().patternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    Fc().configSubstitute(nullptr, pattern, FcMatchPattern);
    Fc().defaultSubstitute(pattern);
    FcResult fcResult = FcResultNoMatch;
    FcPattern* match = Fc().fontMatch(nullptr, pattern, &fcResult);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        if (Fc().patternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            result.path = reinterpret_cast<const char*>(file);
        }
        int index = 0;
        if (Fc().patternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) {
            result.index = index;
        }
        Fc().patternDestroy(match);
    }
    Fc().patternDestroy(pattern);
    return result;
}

// fontconfig's answers, kept in a file between starts: its set-up reads
// some hundred files, more than the rest of the start together, for the
// same answer every time. The file also holds a stamp of what fontconfig
// reads (its settings, its caches, the font folders); a stamp that differs
// from today's is a change, and a start asks fontconfig again.
class MatchMemory
{
public:
    static MatchMemory& Get()
    {
        // Never destroyed: the low-priority check may still run at exit.
        static MatchMemory& memory = *new MatchMemory;
        return memory;
    }

    void SetFile(std::string file)
    {
        std::lock_guard lock(m_mutex);
        m_file = std::move(file);
        m_read = false;
        m_entries.clear();
    }

    // The remembered file, or fontconfig's answer (then remembered).
    FontFile Find(const std::string& family, FontWeight weight)
    {
        const Key key{family, static_cast<int>(weight)};
        {
            std::lock_guard lock(m_mutex);
            ReadOnce();
            if (const auto it = m_entries.find(key); it != m_entries.end()) {
                m_used = true;
                return it->second;
            }
        }
        const FontFile found = Match(family, weight);
        if (!found.path.empty()) {
            std::lock_guard lock(m_mutex);
            m_entries[key] = found;
            Write();
        }
        return found;
    }

    // A remembered file that no longer loads is forgotten.
    void Forget(const std::string& family, FontWeight weight)
    {
        std::lock_guard lock(m_mutex);
        m_entries.erase(Key{family, static_cast<int>(weight)});
    }

    // Asks fontconfig again for every remembered font and keeps what it says
    // now: a change the stamp did not see shows from the next start.
    void Check()
    {
        std::map<Key, FontFile> entries;
        {
            std::lock_guard lock(m_mutex);
            if (!m_used) {
                return;
            }
            entries = m_entries;
        }
        bool changed = false;
        for (auto& [key, file] : entries) {
            const FontFile now = Match(key.first, static_cast<FontWeight>(key.second));
            changed = changed || now != file;
            file = now;
        }
        if (changed) {
            std::lock_guard lock(m_mutex);
            m_entries = std::move(entries);
            std::erase_if(m_entries, [](const auto& entry) { return entry.second.path.empty(); });
            Write();
        }
    }

private:
    using Key = std::pair<std::string, int>; // family, weight

    static std::string Stamp()
    {
        std::string stamp;
        for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"}) {
            const char* value = std::getenv(name);
            stamp.append(value != nullptr ? value : "").push_back('|');
        }
        const char* home = std::getenv("HOME");
        const auto xdg = [home](const char* variable, const char* fallback) {
            const char* value = std::getenv(variable);
            if (value != nullptr && value[0] == '/') {
                return std::string(value);
            }
            return std::string(home != nullptr ? home : "") + fallback;
        };
        const std::string places[] = {"/etc/fonts/fonts.conf",
                                      "/etc/fonts/conf.d",
                                      "/etc/fonts/local.conf",
                                      "/var/cache/fontconfig",
                                      "/usr/share/fonts",
                                      "/usr/local/share/fonts",
                                      xdg("XDG_CONFIG_HOME", "/.config") + "/fontconfig",
                                      xdg("XDG_CACHE_HOME", "/.cache") + "/fontconfig",
                                      xdg("XDG_DATA_HOME", "/.local/share") + "/fonts",
                                      std::string(home != nullptr ? home : "") + "/.fonts"};
        for (const std::string& place : places) {
            struct stat info
            {
            };
            if (stat(place.c_str(), &info) == 0) {
                stamp += std::to_string(info.st_ino) + ':' + std::to_string(info.st_mtim.tv_sec) +
                         '.' + std::to_string(info.st_mtim.tv_nsec);
            }
            stamp.push_back('|');
        }
        return stamp;
    }

    // Line one is the stamp; then one font a line: family, weight, index, path.
    void ReadOnce()
    {
        if (m_read) {
            return;
        }
        m_read = true;
        m_stamp = Stamp();
        std::ifstream in(m_file);
        std::string line;
        if (m_file.empty() || !std::getline(in, line) || line != m_stamp) {
            return;
        }
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string family;
            int weight = 0;
            FontFile file;
            if (std::getline(fields, family, '\t') && fields >> weight >> file.index &&
                fields.get() == '\t' && std::getline(fields, file.path) && !file.path.empty()) {
                m_entries[{family, weight}] = file;
            }
        }
    }

    void Write()
    {
        if (m_file.empty()) {
            return;
        }
        std::string text = m_stamp + '\n';
        for (const auto& [key, file] : m_entries) {
            if (key.first.find_first_of("\t\n") == std::string::npos &&
                file.path.find('\n') == std::string::npos) {
                text += key.first + '\t' + std::to_string(key.second) + ' ' +
                        std::to_string(file.index) + '\t' + file.path + '\n';
            }
        }
        // Written aside and renamed over, so a start never reads half a file.
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(m_file).parent_path(), error);
        const std::string aside = m_file + ".new";
        {
            std::ofstream out(aside, std::ios::trunc);
            out << text;
            if (!out.flush()) {
                return;
            }
        }
        std::rename(aside.c_str(), m_file.c_str());
    }

    std::mutex m_mutex;
    std::string m_file;
    bool m_read = false;
    bool m_used = false; // a font was loaded from what the file said
    std::string m_stamp;
    std::map<Key, FontFile> m_entries;
};

std::unique_ptr<FreeTypeFont> Load(const std::string& family, double points, FontWeight weight)
{
    FontFile file = MatchMemory::Get().Find(family, weight);
    FT_Face face = nullptr;
    const auto open = [&] {
        std::lock_guard lock(FontMutex());
        return Fn().loaded && Fn().newFace(Library(), file.path.c_str(), file.index, &face) == 0;
    };
    if (!file.path.empty() && !open()) {
        // Gone since it was remembered: fontconfig is asked again.
        MatchMemory::Get().Forget(family, weight);
        file = MatchMemory::Get().Find(family, weight);
        if (!file.path.empty() && !open()) {
            throw std::runtime_error("cannot load font " + file.path);
        }
    }
    if (file.path.empty()) {
        throw std::runtime_error("no font found for " + family);
    }
    {
        std::lock_guard lock(FontMutex());
        Fn().setCharSize(face, 0, static_cast<FT_F26Dot6>(std::lround(points * 64)),
                         static_cast<FT_UInt>(kDpi), static_cast<FT_UInt>(kDpi));
    }
    return std::make_unique<FreeTypeFont>(face, points * kDpi / 72.0, family, points, weight);
}

// A font whose face is looked up and loaded when it is first measured or
// drawn with, by whichever thread comes first: a window made before the
// first frame holds its font while the thread loading the fonts finds it.
class LazyFont final : public Font
{
public:
    LazyFont(std::string family, double points, FontWeight weight)
        : m_family(std::move(family)), m_points(points), m_weight(weight)
    {
    }

    int Ascent() const override { return Loaded().Ascent(); }
    int Descent() const override { return Loaded().Descent(); }
    int LineHeight() const override { return Loaded().LineHeight(); }
    double PixelSize() const override { return m_points * kDpi / 72.0; }
    std::string FamilyName() const override { return Loaded().FamilyName(); }
    std::string StyleName() const override { return Loaded().StyleName(); }
    const Font& AtScale(int scale) const override
    {
        return scale <= 1 ? *this : Loaded().AtScale(scale);
    }
    Size TextExtent(std::string_view text) const override { return Loaded().TextExtent(text); }
    int Advance(char32_t c) const override { return Loaded().Advance(c); }
    void DrawText(Bitmap& target, Point origin, std::u32string_view text, std::uint32_t color,
                  const Rect& clip) const override
    {
        Loaded().DrawText(target, origin, text, color, clip);
    }

private:
    const Font& Loaded() const
    {
        std::call_once(m_once, [this] { m_font = Load(m_family, m_points, m_weight); });
        return *m_font;
    }

    std::string m_family;
    double m_points;
    FontWeight m_weight;
    mutable std::once_flag m_once;
    mutable std::unique_ptr<FreeTypeFont> m_font;
};

} // namespace

FontPtr Font::Create(const std::string& family, double points, FontWeight weight)
{
    // Fonts are cached: every window asking for the label font shares one.
    static std::mutex cacheMutex;
    static std::map<std::tuple<std::string, double, int>, FontPtr> cache;
    std::lock_guard cacheLock(cacheMutex);
    auto key = std::make_tuple(family, points, static_cast<int>(weight));
    if (auto it = cache.find(key); it != cache.end()) {
        return it->second;
    }
    FontPtr font = std::make_shared<LazyFont>(family, points, weight);
    cache.emplace(key, font);
    return font;
}

FontPtr Font::Default()
{
    // Stands in for the system font that a context without a chosen font
    // measures with: a bold sans face a little larger than the labels.
    static FontPtr font = Create("Arial", 10.0, FontWeight::Bold);
    return font;
}

FontPtr Font::Label()
{
    static FontPtr font = Create("Arial", 8.5, FontWeight::Bold);
    return font;
}

void Font::RememberMatchesIn(std::string file)
{
    MatchMemory::Get().SetFile(std::move(file));
}

void Font::CheckRememberedMatches()
{
    std::thread([] {
        // Behind everything else the program does: it only prepares the next start.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        MatchMemory::Get().Check();
    }).detach();
}

void Font::LoadCommon(std::string_view shown)
{
    // Measuring loads them and renders the letters measured.
    Label()->AtScale(DeviceScale()).TextExtent(shown);
    Default()->AtScale(DeviceScale()).Ascent();
}

} // namespace tolvar::gfx
