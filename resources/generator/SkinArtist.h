#pragma once

#include "resources/generator/Canvas.h"
#include "resources/generator/TextRenderer.h"

#include <string>
#include <vector>

namespace tolvar::skin {

enum class ButtonState
{
    Up,
    Hover,
    Down
};

// One generated picture and the file it goes to.
struct Picture
{
    std::string file; // "148_main_window.png" for an id, "WEBU.png" for a name
    Canvas canvas;
};

// Draws every picture of the skin. The pictures that sit on a window's
// background (buttons, logo, activity bars) are drawn over the very pixels of
// that background where they are placed, so they blend in without a key.
class SkinArtist
{
public:
    SkinArtist();
    std::vector<Picture> DrawAll();

    Canvas MainBackground();
    Canvas TreeBackground();
    Canvas MessageBoxBackground();
    Canvas UploadBackground();
    Canvas HoverButton(const Canvas& ground, const std::string& caption, ButtonState state,
                       float textSize);
    Canvas Logo(const Canvas& ground, bool lit);
    Canvas ActivityBar(const Canvas& ground, bool filled);
    Canvas IconStrip(bool dimmed);
    Canvas AppIcon(int size);
    std::vector<Picture> ScrollBarPieces();

private:
    void DrawGlass(Canvas& c, float radius, float bandTop);
    void DrawEmblem(Canvas& c, float cx, float cy, float radius, float ringWidth, bool lit);
    void DrawText(Canvas& c, const std::string& text, float cx, float cy, float size,
                  const Rgba& color, float tracking = 0, float shadow = 0.6f);
    void DrawTextRight(Canvas& c, const std::string& text, float right, float cy, float size,
                       const Rgba& color);
    Canvas Icon(int index);

    TextRenderer m_text;
    Canvas m_main;
    Canvas m_messageBox;
    Canvas m_upload;
};

} // namespace tolvar::skin
