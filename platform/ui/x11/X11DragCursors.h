#pragma once

#include "platform/ui/Backend.h"

typedef struct _XDisplay Display;

namespace tolvar::ui {

// A new X cursor for a drag's answer (Copy or Refused), drawn from our own
// art; the caller frees it with XFreeCursor.
unsigned long MakeDragCursor(Display* display, DragCursor cursor);

} // namespace tolvar::ui
