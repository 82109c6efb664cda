#pragma once

#include "platform/gfx/Rect.h"

namespace tolvar {

// The geometry of a tree row. Rows are kRowHeight apart; everything in a row
// is drawn kRowInset below the row's top. A row of depth d starts at
// x0 = (d - 1) * kIndent + kDepthOneShift for d > 0 (0 at depth 0), and the
// expand box, the image and the label follow at fixed offsets from x0.
constexpr int kRowHeight = 17;
constexpr int kIndent = 20;
constexpr int kRowInset = 5;       // from the row's top to its pictures and text
constexpr int kDepthOneShift = 5;  // rows below the top level start 5 px further right
constexpr int kButtonOffset = 10;  // from x0 to the expand box
constexpr int kImageSize = 16;     // expand boxes and item images
constexpr int kLabelRectLead = 10; // the label rectangle starts this far left of the text
constexpr int kHitHeight = 16;     // the rectangles hit tests and editing use
constexpr int kTextClipHeight = 21;
constexpr int kEditLead = 3;   // the in-place edit starts this far left of the label rectangle
constexpr int kEditSlack = 15; // the edit is this much wider than its text
constexpr int kEditMinWidth = 30;

// Where the parts of one row go. The label and item rectangles need the
// width of the label, measured in the label font and the default font.
struct RowLayout
{
    int top = 0;         // of the pictures, the text and every rectangle
    gfx::Point button;   // the expand box as drawn
    gfx::Rect buttonHit; // where a press toggles the item: holds the drawn box
    gfx::Point image;
    gfx::Point text;
    int labelLeft = 0;
    int itemLeft = 0;

    gfx::Rect LabelRect(int labelWidth) const
    {
        return {labelLeft, top, labelLeft + labelWidth, top + kHitHeight};
    }
    // The in-place edit over the label, width pixels wide.
    gfx::Rect EditRect(int width) const
    {
        return gfx::Rect::FromSize(labelLeft - kEditLead, top, width, kHitHeight);
    }
    // The row's hit rectangle: an indent wider than the label.
    gfx::Rect ItemRect(int defaultWidth) const
    {
        return {itemLeft, top, itemLeft + kIndent + defaultWidth, top + kHitHeight};
    }
};

// The layout of a row of the given depth whose top is rowTop (client pixels).
RowLayout LayoutRow(int depth, int rowTop);

} // namespace tolvar
