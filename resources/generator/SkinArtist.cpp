// The skin: dark navy glass on RGB(1,23,64). Every window is a rounded glass
// slab (a vertical gradient with a soft sheen and a thin light rim), panels
// are recessed into it on the exact navy ground the trees paint, and controls
// are glass capsules with light captions. Hover adds a blue halo, pressing
// darkens the capsule and moves it down and right by one pixel.
#include "resources/generator/SkinArtist.h"

#include <cmath>

namespace tolvar::skin {

namespace {

const Rgba kNavy = Rgb8(1, 23, 64);
const Rgba kCaption = Rgb8(235, 235, 235);
const Rgba kSoftText = Rgb8(146, 180, 232);
const Rgba kGlowBlue = Rgb8(70, 160, 255);
const Rgba kRim = Rgb8(112, 160, 236);
const Rgba kBlack = Rgb8(0, 0, 0);
const Rgba kWhite = Rgb8(255, 255, 255);
const Rgba kKey = Rgb8(255, 0, 0);

Rgba WithAlpha(Rgba c, float a)
{
    c.a = a;
    return c;
}

Shape Everywhere()
{
    return [](float, float) { return -1e6f; };
}

// Where the pictures drawn over the main window sit on it.
struct Placement
{
    const char* name;
    const char* caption;
    int x, y;
};
const Placement kMainButtons[] = {
    {"WEB", "WEB SITE", 42, 17},
    {"BTNCODELIST", "CODE LIST", 42, 51},
    {"EXIT", "EXIT", 526, 17},
    {"SLEEP", "SLEEP", 526, 51},
};
constexpr int kLogoX = 252, kLogoY = 0, kLogoW = 197, kLogoH = 131;
constexpr int kBarW = 189, kBarH = 25, kBarY = 136, kLeftBarX = 0, kRightBarX = 510;

// Tree panels: the tree and its scroll bar with a margin.
struct Panel
{
    float left, top, right, bottom;
    const char* caption;
};
const Panel kPanels[] = {{20, 164, 344, 458, "PC DATABASES"},
                         {356, 164, 680, 458, "ONLINE DATABASE"}};

} // namespace

SkinArtist::SkinArtist() : m_main(1, 1), m_messageBox(1, 1), m_upload(1, 1) {}

void SkinArtist::DrawText(Canvas& c, const std::string& text, float cx, float cy, float size,
                          const Rgba& color, float tracking, float shadow)
{
    const Mask mask = m_text.RenderCentred(c.Width(), c.Height(), text, cx, cy, size, tracking);
    if (shadow > 0) {
        c.Draw(mask.Blurred(1), Solid(kBlack), shadow, 0, 1);
    }
    c.Draw(mask, Solid(color));
}

void SkinArtist::DrawTextRight(Canvas& c, const std::string& text, float right, float cy,
                               float size, const Rgba& color)
{
    const float w = m_text.Measure(text, size);
    const float cap = m_text.CapHeight(size);
    const Mask mask = m_text.Render(c.Width(), c.Height(), text, std::round(right - w),
                                    std::round(cy + cap / 2), size);
    c.Draw(mask, Solid(kBlack), 0.55f, 0, 1);
    c.Draw(mask, Solid(color));
}

// The slab every window is made of. Below bandTop the gradient is purely
// vertical, so buttons cut from there fit at any x.
void SkinArtist::DrawGlass(Canvas& c, float radius, float bandTop)
{
    const float w = static_cast<float>(c.Width());
    const float h = static_cast<float>(c.Height());
    c.Draw(Everywhere(), Linear(0, 0, 0, h,
                                {{0.0f, Rgb8(22, 56, 118)},
                                 {bandTop / h * 0.45f, Rgb8(9, 38, 92)},
                                 {1.0f, Rgb8(1, 15, 44)}}));
    // A broad light from above the top edge.
    const Mask upper = Mask::Fill(c.Width(), c.Height(), RoundRect(-10, -10, w + 10, bandTop, 0));
    c.Draw(upper, Radial(w / 2, -h * 0.15f, w * 0.62f,
                         {{0.0f, WithAlpha(Rgb8(80, 150, 245), 0.40f)},
                          {1.0f, WithAlpha(Rgb8(80, 150, 245), 0.0f)}}));
    // Sheen on the upper part of the glass.
    c.Draw(RoundRect(6, 3, w - 6, std::min(h * 0.22f, 60.0f), radius - 4),
           Linear(0, 3, 0, std::min(h * 0.22f, 60.0f),
                  {{0, WithAlpha(kWhite, 0.10f)}, {1, WithAlpha(kWhite, 0.0f)}}));
    // The rim follows the window's rounded region.
    const Shape outline = RoundRect(0, 0, w, h, radius);
    c.Draw(Mask::Stroke(c.Width(), c.Height(), outline, 1.0f, 0.5f),
           Linear(0, 0, 0, h,
                  {{0, WithAlpha(Rgb8(150, 195, 255), 0.9f)},
                   {0.5f, WithAlpha(kRim, 0.55f)},
                   {1, WithAlpha(kRim, 0.35f)}}));
    c.Draw(Mask::Stroke(c.Width(), c.Height(), outline, 1.0f, 1.5f),
           Solid(WithAlpha(kBlack, 0.45f)));
}

void SkinArtist::DrawEmblem(Canvas& c, float cx, float cy, float r, float ringWidth, bool lit)
{
    const int w = c.Width(), h = c.Height();
    const Shape ring = Subtract(Circle(cx, cy, r), Circle(cx, cy, r - ringWidth));
    if (lit) {
        c.Draw(Mask::Glow(w, h, Circle(cx, cy, r), r * 0.35f), Solid(WithAlpha(kGlowBlue, 0.55f)));
        c.Draw(Circle(cx, cy, r - ringWidth), Radial(cx, cy - r * 0.3f, r,
                                                     {{0, WithAlpha(Rgb8(70, 150, 250), 0.55f)},
                                                      {1, WithAlpha(Rgb8(20, 60, 150), 0.35f)}}));
        c.Draw(ring, Linear(cx, cy - r, cx, cy + r,
                            {{0, Rgb8(190, 238, 255)},
                             {0.5f, Rgb8(80, 180, 255)},
                             {1, Rgb8(30, 100, 220)}}));
    } else {
        c.Draw(Circle(cx, cy, r - ringWidth), Solid(WithAlpha(Rgb8(4, 20, 52), 0.6f)));
        c.Draw(ring,
               Linear(cx, cy - r, cx, cy + r, {{0, Rgb8(62, 84, 124)}, {1, Rgb8(28, 46, 86)}}));
    }
    // A drive in the ring: the connector on top, a lamp on the body.
    const float s = r / 30.0f;
    const Shape body = RoundRect(cx - 8 * s, cy - 6 * s, cx + 8 * s, cy + 17 * s, 3 * s);
    const Shape plug =
        Subtract(RoundRect(cx - 5.5f * s, cy - 17 * s, cx + 5.5f * s, cy - 5 * s, 1 * s),
                 Union(RoundRect(cx - 3.5f * s, cy - 14 * s, cx - 1 * s, cy - 11 * s, 0.5f),
                       RoundRect(cx + 1 * s, cy - 14 * s, cx + 3.5f * s, cy - 11 * s, 0.5f)));
    const Shape lamp = Circle(cx, cy + 10 * s, 2.4f * s);
    if (lit) {
        c.Draw(Mask::Glow(w, h, Union(body, plug), 3 * s),
               Solid(WithAlpha(Rgb8(120, 200, 255), 0.5f)));
        c.Draw(plug, Linear(0, cy - 17 * s, 0, cy - 5 * s,
                            {{0, Rgb8(235, 245, 255)}, {1, Rgb8(150, 180, 215)}}));
        c.Draw(body, Linear(cx - 8 * s, 0, cx + 8 * s, 0,
                            {{0, Rgb8(210, 232, 255)},
                             {0.45f, Rgb8(250, 252, 255)},
                             {1, Rgb8(160, 200, 245)}}));
        c.Draw(Mask::Glow(w, h, lamp, 3 * s), Solid(WithAlpha(Rgb8(40, 220, 255), 0.9f)));
        c.Draw(lamp, Solid(Rgb8(40, 210, 255)));
    } else {
        c.Draw(plug, Solid(Rgb8(48, 66, 100)));
        c.Draw(body, Linear(cx - 8 * s, 0, cx + 8 * s, 0,
                            {{0, Rgb8(44, 62, 98)}, {1, Rgb8(60, 80, 116)}}));
        c.Draw(lamp, Solid(Rgb8(16, 32, 62)));
    }
}

Canvas SkinArtist::MainBackground()
{
    const int w = 700, h = 494;
    Canvas c(w, h, kNavy);
    DrawGlass(c, 20, 131);
    // Wells behind the two button pairs and a hairline under the header.
    for (float left : {34.0f, 518.0f}) {
        const Shape well = RoundRect(left, 11, left + 154, 91, 13);
        c.Draw(well, Solid(WithAlpha(Rgb8(0, 8, 28), 0.38f)));
        c.Draw(Mask::Stroke(w, h, well, 1.0f, 0.5f),
               Linear(0, 11, 0, 91,
                      {{0, WithAlpha(kBlack, 0.45f)}, {1, WithAlpha(Rgb8(120, 170, 240), 0.35f)}}));
    }
    c.Draw(RoundRect(24, 127, 676, 128, 0), Linear(24, 0, 676, 0,
                                                   {{0, WithAlpha(kRim, 0.0f)},
                                                    {0.5f, WithAlpha(kRim, 0.45f)},
                                                    {1, WithAlpha(kRim, 0.0f)}}));
    // Between the activity bars: a line of light with a small diamond.
    c.Draw(RoundRect(200, 148, 500, 149, 0), Linear(200, 0, 500, 0,
                                                    {{0, WithAlpha(kGlowBlue, 0.0f)},
                                                     {0.5f, WithAlpha(kGlowBlue, 0.55f)},
                                                     {1, WithAlpha(kGlowBlue, 0.0f)}}));
    const Shape diamond = Polygon({{350, 143.5f}, {355, 148.5f}, {350, 153.5f}, {345, 148.5f}});
    c.Draw(Mask::Glow(w, h, diamond, 4), Solid(WithAlpha(kGlowBlue, 0.5f)));
    c.Draw(diamond, Solid(Rgb8(150, 205, 255)));
    // The tree panels, recessed to the navy ground the trees paint on.
    for (const Panel& p : kPanels) {
        const Shape outer = RoundRect(p.left, p.top, p.right, p.bottom, 12);
        c.Draw(Mask::Glow(w, h, outer, 6), Solid(WithAlpha(kBlack, 0.45f)));
        c.Draw(outer, Solid(kNavy));
        c.Draw(Mask::Stroke(w, h, outer, 1.0f, 0.5f),
               Linear(0, p.top, 0, p.bottom,
                      {{0, WithAlpha(kBlack, 0.6f)},
                       {0.1f, WithAlpha(Rgb8(70, 120, 200), 0.45f)},
                       {1, WithAlpha(Rgb8(110, 160, 235), 0.7f)}}));
        DrawText(c, p.caption, (p.left + p.right) / 2, 475.5f, 10, kSoftText, 2.2f, 0.7f);
    }
    return c;
}

Canvas SkinArtist::TreeBackground()
{
    const int w = 287, h = 279;
    Canvas c(w, h, kNavy);
    // A faint watermark of the emblem, low in the corner so it never fights the rows.
    const float cx = 222, cy = 214, r = 52;
    const Shape ring = Subtract(Circle(cx, cy, r), Circle(cx, cy, r - 7));
    c.Draw(ring, Solid(WithAlpha(Rgb8(120, 170, 255), 0.045f)));
    const float s = r / 30.0f;
    c.Draw(RoundRect(cx - 8 * s, cy - 6 * s, cx + 8 * s, cy + 17 * s, 3 * s),
           Solid(WithAlpha(Rgb8(120, 170, 255), 0.035f)));
    c.Draw(RoundRect(cx - 5.5f * s, cy - 17 * s, cx + 5.5f * s, cy - 5 * s, s),
           Solid(WithAlpha(Rgb8(120, 170, 255), 0.03f)));
    return c;
}

Canvas SkinArtist::MessageBoxBackground()
{
    const int w = 315, h = 157;
    Canvas c(w, h, kNavy);
    DrawGlass(c, 20, 118);
    DrawEmblem(c, 29, 25, 9.5f, 2.0f, true);
    const Mask title = m_text.Render(w, h, "TOLVAR", 45, 29.5f, 10, 2.2f);
    c.Draw(title, Solid(kBlack), 0.5f, 0, 1);
    c.Draw(title, Solid(kSoftText));
    c.Draw(RoundRect(18, 43, 297, 44, 0), Linear(18, 0, 297, 0,
                                                 {{0, WithAlpha(kRim, 0.0f)},
                                                  {0.3f, WithAlpha(kRim, 0.45f)},
                                                  {0.7f, WithAlpha(kRim, 0.45f)},
                                                  {1, WithAlpha(kRim, 0.0f)}}));
    // The card the message sits on.
    const Shape card = RoundRect(13, 50, 302, 118, 9);
    c.Draw(card, Solid(WithAlpha(Rgb8(0, 10, 34), 0.42f)));
    c.Draw(Mask::Stroke(w, h, card, 1.0f, 0.5f),
           Linear(0, 50, 0, 118,
                  {{0, WithAlpha(kBlack, 0.5f)}, {1, WithAlpha(Rgb8(110, 160, 235), 0.35f)}}));
    return c;
}

Canvas SkinArtist::UploadBackground()
{
    const int w = 397, h = 251;
    Canvas c(w, h, kNavy);
    DrawGlass(c, 20, 205);
    DrawEmblem(c, 36, 31, 11, 2.2f, true);
    const Mask title = m_text.Render(w, h, "UPLOAD TO THE ONLINE COMMUNITY", 56, 36, 12, 1.2f);
    c.Draw(title.Blurred(1), Solid(kBlack), 0.6f, 0, 1);
    c.Draw(title, Solid(kCaption));
    c.Draw(RoundRect(22, 51, 375, 52, 0), Linear(22, 0, 375, 0,
                                                 {{0, WithAlpha(kRim, 0.0f)},
                                                  {0.3f, WithAlpha(kRim, 0.45f)},
                                                  {0.7f, WithAlpha(kRim, 0.45f)},
                                                  {1, WithAlpha(kRim, 0.0f)}}));
    // Fields: recessed wells behind the labels, black wells behind the edits.
    struct Field
    {
        float left, top, right, bottom;
        bool black;
    };
    const Field fields[] = {{100, 60, 376, 82, false},
                            {99, 86, 376, 110, true},
                            {99, 112, 376, 163, true},
                            {100, 167, 196, 189, false},
                            {280, 167, 376, 189, false}};
    for (const Field& f : fields) {
        const Shape well = RoundRect(f.left, f.top, f.right, f.bottom, 5);
        c.Draw(well, Solid(f.black ? kBlack : WithAlpha(Rgb8(0, 10, 34), 0.5f)));
        c.Draw(Mask::Stroke(w, h, well, 1.0f, 0.5f),
               Linear(0, f.top, 0, f.bottom,
                      {{0, WithAlpha(kBlack, 0.6f)}, {1, WithAlpha(Rgb8(110, 160, 235), 0.55f)}}));
    }
    DrawTextRight(c, "Game", 91, 71, 11.33f, kSoftText);
    DrawTextRight(c, "Name", 91, 98, 11.33f, kSoftText);
    DrawTextRight(c, "Description", 91, 124, 11.33f, kSoftText);
    DrawTextRight(c, "Date", 91, 178, 11.33f, kSoftText);
    DrawTextRight(c, "Size", 271, 178, 11.33f, kSoftText);
    c.Draw(RoundRect(40, 202, 357, 203, 0), Linear(40, 0, 357, 0,
                                                   {{0, WithAlpha(kRim, 0.0f)},
                                                    {0.5f, WithAlpha(kRim, 0.35f)},
                                                    {1, WithAlpha(kRim, 0.0f)}}));
    return c;
}

Canvas SkinArtist::HoverButton(const Canvas& ground, const std::string& caption, ButtonState state,
                               float textSize)
{
    Canvas c = ground;
    const int w = c.Width(), h = c.Height();
    const float inset = h >= 30 ? 3.0f : 2.0f;
    const float shift = state == ButtonState::Down ? 1.0f : 0.0f;
    const float top = inset + shift, left = inset + shift;
    const float right = w - inset + shift - (shift > 0 ? 1.0f : 0.0f);
    const float bottom = h - inset + shift - (shift > 0 ? 1.0f : 0.0f);
    const float radius = (bottom - top) * 0.36f;
    const Shape body = RoundRect(left, top, right, bottom, radius);
    const Shape upper =
        Intersect(RoundRect(left + 1.5f, top + 1.5f, right - 1.5f, bottom - 1, radius - 1),
                  RoundRect(0, 0, static_cast<float>(w), (top + bottom) / 2, 0));

    if (state == ButtonState::Hover) {
        c.Draw(Mask::Glow(w, h, body, inset + 1), Solid(WithAlpha(kGlowBlue, 0.75f)));
    } else {
        c.Draw(Mask::Glow(w, h, body, 1.6f), Solid(WithAlpha(kBlack, 0.55f)), 1.0f, 0, 1);
    }
    switch (state) {
    case ButtonState::Up:
        c.Draw(body,
               Linear(0, top, 0, bottom,
                      {{0, Rgb8(42, 92, 176)}, {0.5f, Rgb8(18, 56, 128)}, {1, Rgb8(10, 38, 96)}}));
        break;
    case ButtonState::Hover:
        c.Draw(
            body,
            Linear(0, top, 0, bottom,
                   {{0, Rgb8(70, 136, 230)}, {0.5f, Rgb8(30, 84, 176)}, {1, Rgb8(20, 62, 142)}}));
        break;
    case ButtonState::Down:
        c.Draw(body,
               Linear(0, top, 0, bottom,
                      {{0, Rgb8(4, 20, 56)}, {0.6f, Rgb8(10, 34, 86)}, {1, Rgb8(16, 48, 110)}}));
        break;
    }
    if (state == ButtonState::Down) {
        // Light falls in from below the rim of a pressed key; its top edge is in shadow.
        c.Draw(Mask::Stroke(w, h, body, 2.0f, 1.5f),
               Linear(0, top, 0, bottom,
                      {{0, WithAlpha(kBlack, 0.55f)}, {0.5f, WithAlpha(kBlack, 0.0f)}}));
    } else {
        c.Draw(upper, Linear(0, top, 0, (top + bottom) / 2,
                             {{0, WithAlpha(kWhite, state == ButtonState::Hover ? 0.30f : 0.22f)},
                              {1, WithAlpha(kWhite, 0.03f)}}));
    }
    const Rgba rimTop = state == ButtonState::Hover ? Rgb8(200, 230, 255)
                        : state == ButtonState::Up  ? Rgb8(140, 185, 250)
                                                    : Rgb8(40, 70, 130);
    const Rgba rimBottom = state == ButtonState::Down ? Rgb8(100, 150, 230) : Rgb8(60, 110, 200);
    c.Draw(Mask::Stroke(w, h, body, 1.0f, 0.5f),
           Linear(0, top, 0, bottom,
                  {{0, WithAlpha(rimTop, 0.95f)}, {1, WithAlpha(rimBottom, 0.85f)}}));

    const float cx = (left + right) / 2, cy = (top + bottom) / 2;
    const Mask text =
        m_text.RenderCentred(w, h, caption, cx, cy, textSize, textSize >= 11.5f ? 1.3f : 0.4f);
    c.Draw(text.Blurred(1), Solid(kBlack), 0.75f, 0, 1);
    if (state == ButtonState::Hover) {
        c.Draw(text.Blurred(2), Solid(WithAlpha(Rgb8(150, 210, 255), 1.0f)), 0.6f);
    }
    c.Draw(text, Solid(state == ButtonState::Down ? Rgb8(215, 222, 235) : kCaption));
    return c;
}

Canvas SkinArtist::Logo(const Canvas& ground, bool lit)
{
    Canvas c = ground;
    const int w = c.Width(), h = c.Height();
    const float cx = w / 2.0f;
    DrawEmblem(c, cx, 50, 31, 3.2f, lit);
    const Mask word = m_text.RenderCentred(w, h, "TOLVAR", cx + 1, 101, 25, 4.5f);
    const Mask tag = m_text.RenderCentred(w, h, "SAVE COMPANION", cx + 1, 120, 8.5f, 2.6f);
    if (lit) {
        c.Draw(word.Blurred(4), Solid(kGlowBlue), 0.85f);
        c.Draw(word, Linear(0, 90, 0, 112, {{0, Rgb8(255, 255, 255)}, {1, Rgb8(190, 222, 255)}}));
        c.Draw(tag.Blurred(2), Solid(kGlowBlue), 0.5f);
        c.Draw(tag, Solid(Rgb8(170, 210, 255)));
    } else {
        c.Draw(word, Solid(kBlack), 0.5f, 0, 1);
        c.Draw(word, Solid(Rgb8(70, 94, 136)));
        c.Draw(tag, Solid(Rgb8(54, 76, 116)));
    }
    return c;
}

Canvas SkinArtist::ActivityBar(const Canvas& ground, bool filled)
{
    Canvas c = ground;
    const int w = c.Width(), h = c.Height();
    const Shape groove = RoundRect(2, 7, w - 2.0f, 18, 5.5f);
    const Shape lamp = RoundRect(4, 9, w - 4.0f, 16, 3.5f);
    if (filled) {
        c.Draw(Mask::Glow(w, h, groove, 4.5f), Solid(WithAlpha(kGlowBlue, 0.55f)));
    }
    c.Draw(groove, Solid(WithAlpha(Rgb8(0, 6, 24), 0.92f)));
    if (filled) {
        c.Draw(lamp, Linear(0, 9, 0, 16,
                            {{0, Rgb8(170, 236, 255)},
                             {0.45f, Rgb8(60, 170, 255)},
                             {1, Rgb8(20, 90, 215)}}));
    }
    // Segments every six pixels, like a row of lamps.
    Mask ticks(w, h);
    const int s = ticks.Scale();
    for (int x = 9 * s; x < (w - 6) * s; x += 6 * s) {
        for (int y = 9 * s; y < 16 * s; ++y) {
            for (int dx = 0; dx < s; ++dx) {
                ticks.At(x + dx, y) = 1.0f;
            }
        }
    }
    ticks = ticks.Multiplied(Mask::Fill(w, h, lamp));
    c.Draw(ticks, Solid(filled ? WithAlpha(Rgb8(0, 40, 110), 0.55f)
                               : WithAlpha(Rgb8(50, 90, 160), 0.35f)));
    if (filled) {
        c.Draw(Intersect(lamp, RoundRect(0, 0, static_cast<float>(w), 12.5f, 0)),
               Solid(WithAlpha(kWhite, 0.28f)));
    }
    c.Draw(Mask::Stroke(w, h, groove, 1.0f, 0.5f),
           Linear(0, 7, 0, 18,
                  {{0, WithAlpha(kBlack, 0.7f)},
                   {1, WithAlpha(filled ? Rgb8(160, 210, 255) : Rgb8(90, 135, 210), 0.75f)}}));
    return c;
}

// One 16 x 16 picture of the tree strips, transparent outside its shape.
Canvas SkinArtist::Icon(int index)
{
    Canvas c(16, 16, {0, 0, 0, 0});
    const Rgba folderTop = Rgb8(255, 214, 110), folderBottom = Rgb8(222, 150, 40);
    const Rgba outline = Rgb8(120, 70, 10);
    switch (index) {
    case 0:
    case 1: {
        // Edges on whole pixels keep a 9 x 9 box and its sign sharp.
        const Shape box = RoundRect(3, 3, 12, 12, 1.2f);
        c.Draw(box, Linear(0, 3, 0, 12, {{0, Rgb8(60, 116, 204)}, {1, Rgb8(20, 58, 136)}}));
        c.Draw(Mask::Stroke(16, 16, box, 1.0f, 0.5f), Solid(Rgb8(160, 198, 250)));
        c.Draw(RoundRect(5, 7, 10, 8, 0), Solid(kWhite));
        if (index == 1) {
            c.Draw(RoundRect(7, 5, 8, 10, 0), Solid(kWhite));
        }
        break;
    }
    case 2: {
        const Shape back = Union(RoundRect(1, 3, 7, 6, 1), RoundRect(1, 4, 15, 14, 1.2f));
        c.Draw(back, Linear(0, 3, 0, 14, {{0, folderTop}, {1, folderBottom}}));
        c.Draw(Mask::Stroke(16, 16, back, 1.0f, 0.5f), Solid(WithAlpha(outline, 0.9f)));
        c.Draw(RoundRect(2, 6, 14, 7, 0), Solid(WithAlpha(kWhite, 0.45f)));
        break;
    }
    case 3: {
        const Shape back = Union(RoundRect(1, 3, 7, 6, 1), RoundRect(1, 4, 13, 14, 1.2f));
        c.Draw(back, Solid(Rgb8(196, 128, 30)));
        c.Draw(Mask::Stroke(16, 16, back, 1.0f, 0.5f), Solid(WithAlpha(outline, 0.9f)));
        c.Draw(RoundRect(3, 5, 11, 9, 0.5f), Solid(Rgb8(245, 245, 250)));
        const Shape front = Polygon({{3.5f, 8}, {15.5f, 8}, {13, 14}, {1, 14}});
        c.Draw(front, Linear(0, 8, 0, 14, {{0, folderTop}, {1, folderBottom}}));
        c.Draw(Mask::Stroke(16, 16, front, 1.0f, 0.5f), Solid(WithAlpha(outline, 0.9f)));
        break;
    }
    case 4: {
        const Shape page = Polygon({{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}});
        c.Draw(page, Linear(0, 1, 0, 15, {{0, Rgb8(255, 255, 255)}, {1, Rgb8(205, 220, 240)}}));
        c.Draw(Mask::Stroke(16, 16, page, 1.0f, 0.5f), Solid(Rgb8(70, 100, 150)));
        c.Draw(Polygon({{9.5f, 1}, {13, 4.5f}, {9.5f, 4.5f}}), Solid(Rgb8(160, 185, 220)));
        for (float y : {6.0f, 8.0f, 10.0f, 12.0f}) {
            c.Draw(RoundRect(5, y, y < 7 ? 9.0f : 11.0f, y + 1, 0), Solid(Rgb8(60, 120, 210)));
        }
        break;
    }
    case 5: {
        const Shape plug = RoundRect(5, 1, 11, 6, 0.6f);
        c.Draw(plug, Linear(0, 1, 0, 6, {{0, Rgb8(240, 244, 250)}, {1, Rgb8(160, 170, 190)}}));
        c.Draw(Mask::Stroke(16, 16, plug, 1.0f, 0.5f), Solid(Rgb8(90, 100, 120)));
        c.Draw(RoundRect(6.5f, 2.5f, 7.5f, 3.5f, 0), Solid(Rgb8(60, 70, 90)));
        c.Draw(RoundRect(8.5f, 2.5f, 9.5f, 3.5f, 0), Solid(Rgb8(60, 70, 90)));
        const Shape body = RoundRect(3.5f, 5.5f, 12.5f, 15.5f, 1.8f);
        c.Draw(
            body,
            Linear(3.5f, 0, 12.5f, 0,
                   {{0, Rgb8(40, 110, 220)}, {0.4f, Rgb8(90, 170, 255)}, {1, Rgb8(20, 70, 170)}}));
        c.Draw(Mask::Stroke(16, 16, body, 1.0f, 0.5f), Solid(Rgb8(10, 40, 100)));
        c.Draw(Circle(8, 12.5f, 1.3f), Solid(Rgb8(120, 255, 200)));
        break;
    }
    case 6: {
        const Shape box = RoundRect(1, 4.5f, 15, 12.5f, 1.8f);
        c.Draw(box, Linear(0, 4.5f, 0, 12.5f,
                           {{0, Rgb8(236, 240, 248)},
                            {0.5f, Rgb8(180, 190, 208)},
                            {1, Rgb8(120, 130, 150)}}));
        c.Draw(Mask::Stroke(16, 16, box, 1.0f, 0.5f), Solid(Rgb8(60, 66, 84)));
        c.Draw(RoundRect(2.5f, 9.5f, 13.5f, 10.5f, 0), Solid(WithAlpha(Rgb8(80, 90, 110), 0.7f)));
        c.Draw(Circle(12, 7.5f, 1.2f), Solid(Rgb8(90, 240, 120)));
        c.Draw(RoundRect(3, 6.5f, 9, 7.5f, 0), Solid(WithAlpha(Rgb8(90, 100, 120), 0.6f)));
        break;
    }
    case 7: {
        const Rgba back1 = Rgb8(120, 160, 230), back2 = Rgb8(60, 100, 190);
        c.Draw(Circle(10.5f, 4.5f, 2.6f), Solid(back1));
        c.Draw(RoundRect(6.5f, 8, 15, 14, 3), Linear(0, 8, 0, 14, {{0, back1}, {1, back2}}));
        const Rgba front1 = Rgb8(255, 255, 255), front2 = Rgb8(170, 205, 250);
        const Shape head = Circle(5.5f, 5.5f, 3);
        const Shape shoulders = RoundRect(1, 9.5f, 10.5f, 15.5f, 3.2f);
        c.Draw(Mask::Stroke(16, 16, Union(head, shoulders), 1.4f, -0.2f), Solid(Rgb8(10, 40, 100)));
        c.Draw(head, Solid(front1));
        c.Draw(shoulders, Linear(0, 9.5f, 0, 15.5f, {{0, front1}, {1, front2}}));
        break;
    }
    case 8: {
        const Shape globe = Circle(8, 8, 6.5f);
        c.Draw(
            globe,
            Radial(6, 5.5f, 8.5f,
                   {{0, Rgb8(140, 220, 255)}, {0.6f, Rgb8(40, 140, 230)}, {1, Rgb8(14, 70, 170)}}));
        const Mask inside = Mask::Fill(16, 16, Circle(8, 8, 6.0f));
        Mask lines(16, 16);
        auto add = [&lines](const Mask& m, float strength) {
            for (int y = 0; y < lines.PixelHeight(); ++y) {
                for (int x = 0; x < lines.PixelWidth(); ++x) {
                    lines.At(x, y) = std::max(lines.At(x, y), m.At(x, y) * strength);
                }
            }
        };
        add(Mask::Fill(16, 16, RoundRect(1, 7, 15, 9, 0)), 0.55f);
        add(Mask::Fill(16, 16, RoundRect(7, 1, 9, 15, 0)), 0.55f);
        add(Mask::Fill(16, 16, RoundRect(1, 4, 15, 5, 0)), 0.8f);
        add(Mask::Fill(16, 16, RoundRect(1, 11, 15, 12, 0)), 0.8f);
        add(Mask::Stroke(
                16, 16,
                [](float x, float y) {
                    return std::hypot((x - 8) / 3.5f, (y - 8) / 6.5f) * 3.5f - 3.5f;
                },
                1.0f),
            0.9f);
        c.Draw(lines.Multiplied(inside), Solid(WithAlpha(Rgb8(205, 240, 255), 0.85f)));
        c.Draw(Mask::Stroke(16, 16, globe, 1.0f, 0.5f), Solid(Rgb8(10, 50, 130)));
        break;
    }
    case 9: {
        // A bin with a lid and ribs, in the drive's steel blues.
        const Shape lid = RoundRect(2, 2.5f, 14, 4.5f, 0.8f);
        const Shape handle = RoundRect(6, 1, 10, 3, 0.8f);
        const Shape bin = Polygon({{3, 5}, {13, 5}, {12, 15}, {4, 15}});
        const Rgba edge = Rgb8(20, 40, 90);
        c.Draw(Mask::Stroke(16, 16, handle, 1.0f, 0.5f), Solid(edge));
        c.Draw(bin, Linear(3, 0, 13, 0,
                           {{0, Rgb8(150, 170, 205)},
                            {0.45f, Rgb8(235, 242, 252)},
                            {1, Rgb8(120, 140, 180)}}));
        c.Draw(Mask::Stroke(16, 16, bin, 1.0f, 0.5f), Solid(edge));
        for (float x : {6.0f, 8.0f, 10.0f}) {
            c.Draw(RoundRect(x - 0.5f, 7, x + 0.5f, 13.5f, 0),
                   Solid(WithAlpha(Rgb8(60, 90, 150), 0.8f)));
        }
        c.Draw(lid, Linear(0, 2.5f, 0, 4.5f, {{0, Rgb8(240, 246, 255)}, {1, Rgb8(140, 160, 200)}}));
        c.Draw(Mask::Stroke(16, 16, lid, 1.0f, 0.5f), Solid(edge));
        break;
    }
    default:
        break;
    }
    return c;
}

Canvas SkinArtist::IconStrip(bool dimmed)
{
    Canvas strip(10 * 16, 16, kKey);
    for (int i = 0; i < 10; ++i) {
        Canvas icon = Icon(i);
        if (dimmed) {
            icon = icon.Dimmed(Rgb8(40, 56, 86), 0.35f);
        }
        // Edges are blended onto the navy ground the trees paint; what is
        // mostly empty becomes the red key, so the image list shows through.
        for (int y = 0; y < icon.PixelHeight(); ++y) {
            for (int x = 0; x < icon.PixelWidth(); ++x) {
                const Rgba p = icon.At(x, y);
                Rgba& out = strip.At(i * icon.PixelWidth() + x, y);
                if (p.a < 0.4f) {
                    out = kKey;
                } else {
                    out = Mix(kNavy, Rgba{p.r, p.g, p.b, 1}, p.a);
                    out.a = 1;
                }
            }
        }
    }
    return strip;
}

Canvas SkinArtist::AppIcon(int size)
{
    Canvas c(size, size, {0, 0, 0, 0});
    const float s = static_cast<float>(size);
    const Shape tile = RoundRect(0.5f, 0.5f, s - 0.5f, s - 0.5f, s * 0.22f);
    c.Draw(tile, Linear(0, 0, 0, s, {{0, Rgb8(36, 84, 168)}, {1, Rgb8(2, 22, 62)}}));
    c.Draw(Mask::Stroke(size, size, tile, 1.0f, 0.5f), Solid(WithAlpha(Rgb8(150, 195, 255), 0.9f)));
    DrawEmblem(c, s / 2, s / 2, s * 0.40f, std::max(1.5f, s * 0.07f), true);
    return c;
}

std::vector<Picture> SkinArtist::ScrollBarPieces()
{
    std::vector<Picture> out;
    const Rgba face1 = Rgb8(44, 96, 182), face2 = Rgb8(14, 46, 112);
    auto arrow = [&](bool up, bool pressed) {
        const int h = pressed ? 10 : 11;
        Canvas c(11, h, kNavy);
        // The face fills rows 0 to 9; the eleventh row of the normal picture
        // stays navy, so the pressed one (a row shorter) leaves nothing stale.
        const Shape face = RoundRect(0, 0, 11, 10, 2.5f);
        if (pressed) {
            c.Draw(face, Linear(0, 0, 0, 10, {{0, Rgb8(6, 24, 64)}, {1, Rgb8(20, 60, 130)}}));
        } else {
            c.Draw(face, Linear(0, 0, 0, 10, {{0, face1}, {1, face2}}));
        }
        c.Draw(Mask::Stroke(11, h, face, 1.0f, 0.5f),
               Solid(pressed ? Rgb8(90, 140, 220) : Rgb8(130, 178, 245)));
        const float dy = pressed ? 1.0f : 0.0f;
        const Shape tri = up ? Polygon({{5.5f, 2.5f + dy}, {9, 7 + dy}, {2, 7 + dy}})
                             : Polygon({{2, 3 + dy}, {9, 3 + dy}, {5.5f, 7.5f + dy}});
        c.Draw(tri, Solid(pressed ? Rgb8(200, 215, 240) : kCaption));
        return c;
    };
    out.push_back({"129_scroll_up.png", arrow(true, false)});
    out.push_back({"140_scroll_up_pressed.png", arrow(true, true)});
    out.push_back({"139_scroll_down.png", arrow(false, false)});
    out.push_back({"138_scroll_down_pressed.png", arrow(false, true)});

    Canvas track(11, 260, kNavy);
    const Shape groove = RoundRect(3, 1, 8, 259, 2.5f);
    track.Draw(groove, Solid(Rgb8(0, 9, 30)));
    track.Draw(Mask::Stroke(11, 260, groove, 1.0f, 0.5f),
               Solid(WithAlpha(Rgb8(70, 115, 190), 0.6f)));
    out.push_back({"130_scroll_track.png", track});

    // The thumb is one capsule cut in three: caps of four rows and a middle
    // that tiles seamlessly because it only varies across.
    auto thumb = [&](bool dragging) {
        Canvas c(11, 40, kNavy);
        const Shape capsule = RoundRect(1, 0, 10, 40, 4);
        if (dragging) {
            c.Draw(capsule, Linear(1, 0, 10, 0,
                                   {{0, Rgb8(110, 190, 255)},
                                    {0.45f, Rgb8(170, 225, 255)},
                                    {1, Rgb8(50, 130, 235)}}));
            c.Draw(Mask::Stroke(11, 40, capsule, 1.0f, 0.5f), Solid(Rgb8(215, 240, 255)));
        } else {
            c.Draw(capsule, Linear(1, 0, 10, 0,
                                   {{0, Rgb8(60, 120, 214)},
                                    {0.45f, Rgb8(104, 160, 240)},
                                    {1, Rgb8(30, 80, 170)}}));
            c.Draw(Mask::Stroke(11, 40, capsule, 1.0f, 0.5f), Solid(Rgb8(150, 195, 255)));
        }
        return c;
    };
    for (bool dragging : {false, true}) {
        const Canvas t = thumb(dragging);
        out.push_back(
            {dragging ? "134_thumb_top_dragging.png" : "137_thumb_top.png", t.Crop(0, 0, 11, 4)});
        out.push_back({dragging ? "133_thumb_middle_dragging.png" : "136_thumb_middle.png",
                       t.Crop(0, 15, 11, 10)});
        out.push_back({dragging ? "132_thumb_bottom_dragging.png" : "135_thumb_bottom.png",
                       t.Crop(0, 36, 11, 4)});
    }
    return out;
}

std::vector<Picture> SkinArtist::DrawAll()
{
    std::vector<Picture> out;
    m_main = MainBackground();
    out.push_back({"148_main_window.png", m_main});
    const Canvas tree = TreeBackground();
    out.push_back({"164_local_tree.png", tree});
    out.push_back({"165_online_tree.png", tree});
    out.push_back({"144_tree_images.png", IconStrip(false)});
    out.push_back({"143_tree_images_dimmed.png", IconStrip(true)});
    for (Picture& p : ScrollBarPieces()) {
        out.push_back(std::move(p));
    }

    for (const Placement& b : kMainButtons) {
        const Canvas ground = m_main.Crop(b.x, b.y, 138, 34);
        const std::string name = b.name;
        out.push_back({name + "U.png", HoverButton(ground, b.caption, ButtonState::Up, 12)});
        out.push_back({name + "H.png", HoverButton(ground, b.caption, ButtonState::Hover, 12)});
        out.push_back({name + "D.png", HoverButton(ground, b.caption, ButtonState::Down, 12)});
    }
    // The gallery's buttons that open message boxes, in the left panel.
    const Placement galleryButtons[] = {{"GALLERY_OKBOX", "OK BOX", 113, 212},
                                        {"GALLERY_OKCANCELBOX", "OK / CANCEL BOX", 113, 256},
                                        {"GALLERY_YESNOBOX", "YES / NO BOX", 113, 300}};
    for (const Placement& b : galleryButtons) {
        const Canvas ground = m_main.Crop(b.x, b.y, 138, 34);
        const std::string name = b.name;
        out.push_back({name + "U.png", HoverButton(ground, b.caption, ButtonState::Up, 11.33f)});
        out.push_back({name + "H.png", HoverButton(ground, b.caption, ButtonState::Hover, 11.33f)});
        out.push_back({name + "D.png", HoverButton(ground, b.caption, ButtonState::Down, 11.33f)});
    }
    const Canvas logoGround = m_main.Crop(kLogoX, kLogoY, kLogoW, kLogoH);
    out.push_back({"206_logo_lit.png", Logo(logoGround, true)});
    out.push_back({"205_logo_dim.png", Logo(logoGround, false)});
    const Canvas leftGround = m_main.Crop(kLeftBarX, kBarY, kBarW, kBarH);
    const Canvas rightGround = m_main.Crop(kRightBarX, kBarY, kBarW, kBarH);
    out.push_back({"198_left_bar_filled.png", ActivityBar(leftGround, true)});
    out.push_back({"197_left_bar_empty.png", ActivityBar(leftGround, false)});
    out.push_back({"196_right_bar_filled.png", ActivityBar(rightGround, true)});
    out.push_back({"199_right_bar_empty.png", ActivityBar(rightGround, false)});

    m_messageBox = MessageBoxBackground();
    out.push_back({"185_message_box.png", m_messageBox});
    const Canvas boxButtonGround = m_messageBox.Crop(107, 123, 100, 27);
    const std::pair<const char*, const char*> boxButtons[] = {
        {"BTNOK", "OK"}, {"BTNCANCEL", "Cancel"}, {"BTNYES", "Yes"}, {"BTNNO", "No"}};
    for (const auto& [name, caption] : boxButtons) {
        out.push_back({std::string(name) + "U.png",
                       HoverButton(boxButtonGround, caption, ButtonState::Up, 11.33f)});
        out.push_back({std::string(name) + "D.png",
                       HoverButton(boxButtonGround, caption, ButtonState::Down, 11.33f)});
    }

    m_upload = UploadBackground();
    out.push_back({"208_upload_form.png", m_upload});
    const std::pair<const char*, const char*> uploadButtons[] = {{"UPLOAD_SUBMIT", "Submit"},
                                                                 {"UPLOAD_CANCEL", "Cancel"}};
    for (const auto& [name, caption] : uploadButtons) {
        const Canvas ground =
            m_upload.Crop(std::string(name) == "UPLOAD_SUBMIT" ? 199 : 98, 216, 101, 27);
        out.push_back(
            {std::string(name) + "_UP.png", HoverButton(ground, caption, ButtonState::Up, 11.33f)});
        out.push_back({std::string(name) + "_OVER.png",
                       HoverButton(ground, caption, ButtonState::Hover, 11.33f)});
        out.push_back({std::string(name) + "_DOWN.png",
                       HoverButton(ground, caption, ButtonState::Down, 11.33f)});
    }
    return out;
}

} // namespace tolvar::skin
