// What an activity bar tells assistive technology: whether a job runs.
#include "widgets/ActivityBar.h"

namespace tolvar {

ui::AccessibleInfo CActivityBar::Describe() const
{
    ui::AccessibleInfo info = ui::Window::Describe();
    info.role = ui::AccessibleRole::Animation;
    std::lock_guard lock(m_stateMutex);
    if (m_threadRunning && !m_stopRequested) {
        info.states |= ui::kAccessBusy;
    }
    return info;
}

} // namespace tolvar
