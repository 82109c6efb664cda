#include "resources/generator/TextRenderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <stdexcept>

namespace tolvar::skin {

namespace {

std::string FindFontFile()
{
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial:bold"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
    }
    if (match) {
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return file;
}

} // namespace

TextRenderer::TextRenderer() : m_fontFile(FindFontFile())
{
    if (m_fontFile.find("LiberationSans-Bold") == std::string::npos) {
        throw std::runtime_error("Liberation Sans Bold is needed (fonts-liberation2), found: " +
                                 m_fontFile);
    }
    if (FT_Init_FreeType(&m_library) != 0 ||
        FT_New_Face(m_library, m_fontFile.c_str(), 0, &m_face) != 0) {
        throw std::runtime_error("cannot open " + m_fontFile);
    }
}

TextRenderer::~TextRenderer()
{
    if (m_face) {
        FT_Done_Face(m_face);
    }
    if (m_library) {
        FT_Done_FreeType(m_library);
    }
}

void TextRenderer::SetSize(float pixelSize) const
{
    FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64)), 72, 72);
}

// The kerning between two glyphs in pixels; 0 for the first glyph of a text.
float TextRenderer::Kerning(unsigned previous, unsigned index) const
{
    if (!previous || !FT_HAS_KERNING(m_face)) {
        return 0.0f;
    }
    FT_Vector kern{};
    FT_Get_Kerning(m_face, previous, index, FT_KERNING_DEFAULT, &kern);
    return kern.x / 64.0f;
}

// Sizes, positions and widths are in units of the draw scale; glyphs are
// rendered at the scale's pixel size, so text is drawn, not enlarged.
float TextRenderer::Measure(const std::string& text, float pixelSize, float tracking) const
{
    const float s = static_cast<float>(DrawScale());
    SetSize(pixelSize * s);
    float width = 0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        const FT_UInt index = FT_Get_Char_Index(m_face, ch);
        width += Kerning(previous, index);
        if (FT_Load_Glyph(m_face, index, FT_LOAD_TARGET_LIGHT) == 0) {
            width += m_face->glyph->advance.x / 64.0f;
        }
        previous = index;
    }
    if (!text.empty()) {
        width += tracking * s * static_cast<float>(text.size() - 1);
    }
    return width / s;
}

float TextRenderer::CapHeight(float pixelSize) const
{
    const float s = static_cast<float>(DrawScale());
    SetSize(pixelSize * s);
    if (FT_Load_Char(m_face, 'H', FT_LOAD_TARGET_LIGHT) != 0) {
        return pixelSize * 0.7f;
    }
    return m_face->glyph->metrics.height / 64.0f / s;
}

Mask TextRenderer::Render(int width, int height, const std::string& text, float x, float baseline,
                          float pixelSize, float tracking) const
{
    const float s = static_cast<float>(DrawScale());
    SetSize(pixelSize * s);
    Mask mask(width, height);
    width = mask.PixelWidth();
    height = mask.PixelHeight();
    tracking *= s;
    float pen = x * s;
    const int base = static_cast<int>(std::lround(baseline * s));
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        const FT_UInt index = FT_Get_Char_Index(m_face, ch);
        pen += Kerning(previous, index);
        previous = index;
        if (FT_Load_Glyph(m_face, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot g = m_face->glyph;
        const int left = static_cast<int>(std::lround(pen)) + g->bitmap_left;
        const int top = base - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const int px = left + static_cast<int>(col);
                const int py = top + static_cast<int>(row);
                if (px < 0 || py < 0 || px >= width || py >= height) {
                    continue;
                }
                const float v = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                mask.At(px, py) = std::min(1.0f, mask.At(px, py) + v);
            }
        }
        pen += g->advance.x / 64.0f + tracking;
    }
    return mask;
}

Mask TextRenderer::RenderCentred(int width, int height, const std::string& text, float cx, float cy,
                                 float pixelSize, float tracking) const
{
    const float w = Measure(text, pixelSize, tracking);
    const float cap = CapHeight(pixelSize);
    return Render(width, height, text, std::round(cx - w / 2), std::round(cy + cap / 2), pixelSize,
                  tracking);
}

} // namespace tolvar::skin
