// What an activity bar tells assistive technology: whether a job runs.
#include "widgets/ActivityBar.h"

namespace tolvar {

ui::AccessibleInfo CActivityBar::Describe() const
{
    ui::AccessibleInfo info = ui::Window::Describe();
    info.role = ui::AccessibleRole::Animation;
    if (m_running && !m_stopRequested) {
        info.states |= ui::kAccessBusy;
    }
    return info;
}

} // namespace tolvar
