#pragma once

#include "platform/ui/Backend.h"

#include <glib.h>

#include <vector>

namespace tolvar::ui::atk {

// GLib's main context, served from the display's poll: prepared and
// queried before the loop sleeps, checked and dispatched after. The
// accessibility bridge speaks over it.
class GlibLoopSource final : public LoopSource
{
public:
    GlibLoopSource();
    ~GlibLoopSource() override;
    GlibLoopSource(const GlibLoopSource&) = delete;
    GlibLoopSource& operator=(const GlibLoopSource&) = delete;

    int Prepare(std::vector<LoopPollFd>& fds) override;
    void Dispatch(const std::vector<LoopPollFd>& fds) override;

private:
    GMainContext* m_context;
    gboolean m_owner = FALSE;
    gint m_priority = 0;
    std::vector<GPollFD> m_fds;
};

} // namespace tolvar::ui::atk
