#pragma once

#include "platform/ui/Static.h"

namespace tolvar {

// The plain static control of the skinned windows: message text and labels.
// Colours and fonts come from the owning dialog (OnCtlColor, SetFont).
class CLabel : public ui::Static
{
};

} // namespace tolvar
