#include "resources/DialogResources.h"

namespace tolvar {

namespace {

gfx::Rect R(int x, int y, int w, int h)
{
    return gfx::Rect::FromSize(x, y, w, h);
}

const std::vector<DialogTemplate>& Templates()
{
    static const std::vector<DialogTemplate> templates = {
        {100,
         "About ZyferV3",
         {235, 55},
         {{-1, "static", "128", R(11, 17, 20, 20), kStyleIcon},
          {-1, "static", "ZyferV3 Version 1.0", R(40, 10, 119, 8), 0},
          {-1, "static", "Tolvar save companion for the PC", R(40, 25, 119, 8), 0},
          {1, "button", "OK", R(178, 7, 50, 16), kStyleDefault | kStyleTabStop}}},
        {102,
         "",
         {467, 304},
         {{1007, "scrollbar", "", R(0, 0, 0, 0), kStyleVertical | kStyleHidden},
          {1008, "scrollbar", "", R(0, 0, 0, 0), kStyleVertical | kStyleHidden},
          {1009, "button", "WEB", R(0, 0, 0, 0), kStyleOwnerDraw},
          {1010, "button", "EXIT", R(0, 0, 0, 0), kStyleOwnerDraw},
          {1011, "button", "SLEEP", R(0, 0, 0, 0), kStyleOwnerDraw},
          {1017, "button", "BTNCODELIST", R(0, 0, 0, 0), kStyleOwnerDraw},
          {1018, "static", "", R(0, 0, 0, 0), kStyleBitmap},
          {1019, "static", "", R(0, 0, 0, 0), kStyleGrayFrame},
          {1020, "static", "", R(0, 0, 0, 0), kStyleBitmap | kStyleNoNotify}}},
        {180,
         "",
         {186, 90},
         {{1002, "button", "BTNOK", R(7, 67, 32, 16), kStyleOwnerDraw},
          {1013, "button", "BTNCANCEL", R(42, 67, 48, 16), kStyleOwnerDraw},
          {1014, "button", "BTNYES", R(103, 67, 36, 16), kStyleOwnerDraw},
          {1015, "button", "BTNNO", R(148, 67, 31, 16), kStyleOwnerDraw},
          {1016, "static", "", R(14, 7, 144, 55), kStyleCentre | kStyleTransparent}}},
        {207,
         "",
         {223, 222},
         {{1002, "button", "Cancel", R(121, 181, 74, 20), kStyleOwnerDraw},
          {1021, "button", "Submit", R(39, 182, 74, 20), kStyleOwnerDraw},
          {1022, "static", "Gamename", R(32, 15, 37, 9), 0},
          {1023, "static", "Date", R(36, 103, 55, 10), 0},
          {1024, "static", "Blocks", R(101, 102, 60, 13), 0},
          {1029, "edit", "", R(31, 31, 140, 15), kStyleAutoHScroll | kStyleTabStop},
          {1031, "edit", "", R(32, 57, 140, 23),
           kStyleMultiLine | kStyleAutoHScroll | kStyleWantReturn | kStyleTabStop}}},
    };
    return templates;
}

int Round(int value, int numerator, int denominator)
{
    return (value * numerator + denominator / 2) / denominator;
}

} // namespace

const ControlTemplate* DialogTemplate::Control(int controlId) const
{
    for (const ControlTemplate& c : controls) {
        if (c.id == controlId) {
            return &c;
        }
    }
    return nullptr;
}

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& t : Templates()) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

gfx::Rect DialogUnitsToPixels(const gfx::Rect& u)
{
    return {Round(u.left, 6, 4), Round(u.top, 13, 8), Round(u.right, 6, 4), Round(u.bottom, 13, 8)};
}

} // namespace tolvar
