#pragma once

#include "platform/gfx/Rect.h"

#include <string>
#include <vector>

namespace tolvar {

// Dialog templates: each control with its id, class, text and rectangle in
// dialog units, and the style notes the windows that use them rely on.
enum ControlStyle : unsigned
{
    kStyleOwnerDraw = 0x1,
    kStyleBitmap = 0x2,
    kStyleGrayFrame = 0x4,
    kStyleNoNotify = 0x8,
    kStyleCentre = 0x10,
    kStyleTransparent = 0x20, // extended style: paints after its siblings
    kStyleVertical = 0x40,
    kStyleHidden = 0x80,
    kStyleMultiLine = 0x100,
    kStyleAutoHScroll = 0x200,
    kStyleWantReturn = 0x400,
    kStyleTabStop = 0x800,
    kStyleDefault = 0x1000,
    kStyleIcon = 0x2000,
};

struct ControlTemplate
{
    int id;
    std::string className; // "button", "static", "edit", "scrollbar"
    std::string text;
    gfx::Rect units; // dialog units
    unsigned style;
};

struct DialogTemplate
{
    int id;
    std::string caption; // empty for the borderless windows
    gfx::Size units;     // dialog units, before initialisation resizes the window
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Control(int controlId) const;
};

// Null when there is no template with that id.
const DialogTemplate* FindDialogTemplate(int id);

// Dialog units of "MS Shell Dlg" 8 point at 96 dpi (6 x 13 pixel base units):
// x times 6/4, y times 13/8, rounded as MapDialogRect does.
gfx::Rect DialogUnitsToPixels(const gfx::Rect& units);

} // namespace tolvar
