// Fonts: fontconfig finds the file for a family and weight, FreeType loads
// the face at the pixel size of the point size at 96 dpi and renders hinted
// glyphs into 8-bit coverage, which is kept per character. One library and
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
#include <cstdlib>
#include <dlfcn.h>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
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

struct FontFunctions
{
    decltype(&FT_Init_FreeType) initFreeType;
    decltype(&FT_New_Face) newFace;
    decltype(&FT_Done_Face) doneFace;
    decltype(&FT_Set_Char_Size) setCharSize;
    decltype(&FT_Get_Char_Index) getCharIndex;
    decltype(&FT_Load_Glyph) loadGlyph;
    decltype(&FT_Render_Glyph) renderGlyph;
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

// Not loaded when either library is missing: then no font is found, as
// on a system without fonts.
const FontFunctions& Fn()
{
    static const FontFunctions functions = [] {
        FontFunctions f{};
        void* ft = dlopen("libfreetype.so.6", RTLD_NOW | RTLD_LOCAL);
        void* fc = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_LOCAL);
        f.loaded = FindSymbol(ft, "FT_Init_FreeType", f.initFreeType) &&
                   FindSymbol(ft, "FT_New_Face", f.newFace) &&
                   FindSymbol(ft, "FT_Done_Face", f.doneFace) &&
                   FindSymbol(ft, "FT_Set_Char_Size", f.setCharSize) &&
                   FindSymbol(ft, "FT_Get_Char_Index", f.getCharIndex) &&
                   FindSymbol(ft, "FT_Load_Glyph", f.loadGlyph) &&
                   FindSymbol(ft, "FT_Render_Glyph", f.renderGlyph) &&
                   FindSymbol(fc, "FcInit", f.init) && FindSymbol(fc, "FcFini", f.fini) &&
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
};

FontFile Match(const std::string& family, FontWeight weight)
{
    if (!Fn().loaded) {
        return {};
    }
    // fontconfig keeps its configuration for the whole process; let it go at
    // exit so leak checkers see only our own allocations.
    static bool initialised = [] {
        Fn().init();
        std::atexit(Fn().fini);
        return true;
    }();
    (void)initialised;
    FontFile result;
    FcPattern* pattern = Fn().patternCreate();
    Fn().patternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    Fn().patternAddInteger(pattern, FC_WEIGHT,
                           weight == FontWeight::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    Fn().patternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    Fn().configSubstitute(nullptr, pattern, FcMatchPattern);
    Fn().defaultSubstitute(pattern);
    FcResult fcResult = FcResultNoMatch;
    FcPattern* match = Fn().fontMatch(nullptr, pattern, &fcResult);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        if (Fn().patternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            result.path = reinterpret_cast<const char*>(file);
        }
        int index = 0;
        if (Fn().patternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) {
            result.index = index;
        }
        Fn().patternDestroy(match);
    }
    Fn().patternDestroy(pattern);
    return result;
}

std::unique_ptr<FreeTypeFont> Load(const std::string& family, double points, FontWeight weight)
{
    FontFile file;
    {
        std::lock_guard lock(FontMutex());
        file = Match(family, weight);
    }
    if (file.path.empty()) {
        throw std::runtime_error("no font found for " + family);
    }
    FT_Face face = nullptr;
    {
        std::lock_guard lock(FontMutex());
        if (Fn().newFace(Library(), file.path.c_str(), file.index, &face) != 0) {
            throw std::runtime_error("cannot load font " + file.path);
        }
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

void Font::LoadInBackground()
{
    std::thread([] {
        // Measuring loads them.
        Label()->AtScale(DeviceScale()).Ascent();
        Default()->AtScale(DeviceScale()).Ascent();
    }).detach();
}

} // namespace tolvar::gfx
