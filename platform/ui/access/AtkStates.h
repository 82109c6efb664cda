#pragma once

// How our roles and states read in ATK. Only platform/ui/access includes this.
#include "platform/ui/Accessible.h"

#include <atk/atk.h>

namespace tolvar::ui::atk {

AtkRole ToAtkRole(const AccessibleInfo& info);

inline guint64 Bit(AtkStateType state)
{
    return guint64{1} << static_cast<unsigned>(state);
}

// The ATK states of a window or item (an object of AtkAccessible.h), as a
// bit set.
guint64 StatesOf(gpointer object);

} // namespace tolvar::ui::atk
