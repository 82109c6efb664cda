#pragma once

#include "resources/generator/Canvas.h"

#include <string>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

namespace tolvar::skin {

// Lines of text as coverage masks, in the face that fontconfig gives for
// "Arial" bold (Liberation Sans Bold, its metric twin), at any pixel size.
class TextRenderer
{
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    const std::string& FontFile() const { return m_fontFile; }

    // Advance width of a line; tracking adds that many pixels between letters.
    float Measure(const std::string& text, float pixelSize, float tracking = 0) const;
    float CapHeight(float pixelSize) const;
    // The line with its pen starting at x on the given baseline.
    Mask Render(int width, int height, const std::string& text, float x, float baseline,
                float pixelSize, float tracking = 0) const;
    // Centred on (cx, cy), the middle of the capital letters.
    Mask RenderCentred(int width, int height, const std::string& text, float cx, float cy,
                       float pixelSize, float tracking = 0) const;

private:
    void SetSize(float pixelSize) const;
    float Kerning(unsigned previous, unsigned index) const; // glyph indexes

    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
    std::string m_fontFile;
};

} // namespace tolvar::skin
