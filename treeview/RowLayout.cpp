#include "treeview/RowLayout.h"

namespace tolvar {

RowLayout LayoutRow(int depth, int rowTop)
{
    RowLayout row;
    row.top = rowTop + kRowInset;
    const int x0 = depth > 0 ? (depth - 1) * kIndent + kDepthOneShift : 0;
    row.button = {x0 + kButtonOffset, row.top};
    row.image = {x0 + kIndent + kButtonOffset, row.top};
    row.text = {x0 + 2 * kIndent + kButtonOffset, row.top};
    row.labelLeft = row.text.x - kLabelRectLead;
    row.itemLeft = (depth + 1) * kIndent;
    // Below the top level a press also toggles in the margin of
    // kDepthOneShift left of the box, and the whole drawn box answers.
    const int hitLeft = depth > 0 ? row.button.x - kDepthOneShift : row.button.x;
    row.buttonHit = {hitLeft, row.top, row.button.x + kImageSize, row.top + kImageSize};
    return row;
}

} // namespace tolvar
