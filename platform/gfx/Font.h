#pragma once

#include "platform/gfx/Rect.h"

#include <memory>
#include <string>
#include <string_view>

namespace tolvar::gfx {

class Bitmap;

enum class FontWeight
{
    Normal = 400,
    Bold = 700
};

// A face at one size, found through fontconfig and rasterised by FreeType with
// hinting, as the system's text was measured. Sizes are in points at 96 dpi
// whatever the display says, so layouts match on every screen. Fonts are
// shared and immutable; use them from the UI thread.
class Font
{
public:
    // "Arial" 8.5 pt bold resolves to Liberation Sans Bold, its metric twin.
    // Returns the closest face fontconfig offers, found and loaded when the
    // font is first measured or drawn with (which throws when no font is
    // installed).
    static std::shared_ptr<const Font> Create(const std::string& family, double points,
                                              FontWeight weight = FontWeight::Normal);
    // The font text is measured and drawn in when none was chosen.
    static std::shared_ptr<const Font> Default();
    // The program's label font: Arial, 8.5 points, bold.
    static std::shared_ptr<const Font> Label();
    // Loads the label and default fonts (from the remembered files, else
    // through fontconfig) and renders the label font's letters of `shown`.
    // Called on a thread beside the program's start, their first use waits
    // for it only if it is not done yet.
    static void LoadCommon(std::string_view shown);
    // Keeps fontconfig's answers in `file` between starts, so that a start
    // whose font set-up is unchanged loads its faces without it. Call
    // before the first font is used.
    static void RememberMatchesIn(std::string file);
    // Asks fontconfig again, on a thread of low priority, for the fonts this
    // start took from the file, and keeps its new answers for the next.
    static void CheckRememberedMatches();

    virtual ~Font() = default;

    virtual int Ascent() const = 0;     // pixels above the baseline
    virtual int Descent() const = 0;    // pixels below it
    virtual int LineHeight() const = 0; // Ascent + Descent + line gap
    // Width and height of a single line of text (no line breaks honoured).
    virtual Size TextExtent(std::string_view text) const = 0;
    // Advance of one decoded character, for caret placement.
    virtual int Advance(char32_t codePoint) const = 0;
    virtual std::string FamilyName() const = 0; // what fontconfig gave
    virtual std::string StyleName() const = 0;
    virtual double PixelSize() const = 0;
    // The same face at scale times the size (2: for a high-density screen),
    // rendered and hinted at that size rather than enlarged; this font at 1.
    virtual const Font& AtScale(int scale) const = 0;

    // Draws one line with its top-left at origin, clipped to clip, blending
    // the glyph coverage over what is there (a transparent background).
    virtual void DrawText(Bitmap& target, Point origin, std::u32string_view text,
                          std::uint32_t color, const Rect& clip) const = 0;
};

using FontPtr = std::shared_ptr<const Font>;

} // namespace tolvar::gfx
