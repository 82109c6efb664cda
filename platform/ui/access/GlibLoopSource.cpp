#include "platform/ui/access/GlibLoopSource.h"

#include <algorithm>

namespace tolvar::ui::atk {

GlibLoopSource::GlibLoopSource() : m_context(g_main_context_default())
{
    m_owner = g_main_context_acquire(m_context);
}

GlibLoopSource::~GlibLoopSource()
{
    if (m_owner) {
        g_main_context_release(m_context);
    }
}

int GlibLoopSource::Prepare(std::vector<LoopPollFd>& fds)
{
    g_main_context_prepare(m_context, &m_priority);
    gint timeout = -1;
    m_fds.resize(std::max<std::size_t>(m_fds.size(), 8));
    for (;;) {
        const gint n = g_main_context_query(m_context, m_priority, &timeout, m_fds.data(),
                                            static_cast<gint>(m_fds.size()));
        if (n <= static_cast<gint>(m_fds.size())) {
            m_fds.resize(static_cast<std::size_t>(n));
            break;
        }
        m_fds.resize(static_cast<std::size_t>(n));
    }
    for (const GPollFD& f : m_fds) {
        fds.push_back({f.fd, static_cast<short>(f.events), 0});
    }
    return timeout;
}

void GlibLoopSource::Dispatch(const std::vector<LoopPollFd>& fds)
{
    for (std::size_t i = 0; i < m_fds.size() && i < fds.size(); ++i) {
        m_fds[i].revents = static_cast<gushort>(fds[i].revents);
    }
    if (g_main_context_check(m_context, m_priority, m_fds.data(),
                             static_cast<gint>(m_fds.size()))) {
        g_main_context_dispatch(m_context);
    }
}

} // namespace tolvar::ui::atk
