#pragma once

#include "messages/AppMessages.h"
#include "platform/base/MessageTarget.h"

#include <initializer_list>

namespace tolvar {

// The activity bar a job turns: the lParam of WM_APP_BUSY_START and WM_APP_BUSY_STOP.
enum class ActivityBar : LParam
{
    Local = 0,
    Online = 1,
};

// What a job shows the user while it runs, held for as long as it shows it:
// the activity bar turns, and the trees named by their busy messages
// (WM_APP_LOCAL_TREE_BUSY, WM_APP_ONLINE_TREE_BUSY) are kept from starting a
// second job. Every start is sent once and undone once, on every way out of
// the job, so a tree cannot stay disabled nor a bar keep turning.
//
//     JobActivity activity(main, ActivityBar::Local, {WM_APP_LOCAL_TREE_BUSY});
//     activity.PauseBar();   // a question is open: the bar stands still
//     activity.ResumeBar();
class JobActivity
{
public:
    static constexpr int kMaxTrees = 2;

    JobActivity(MessageTarget& mainWindow, ActivityBar bar,
                std::initializer_list<unsigned> treeBusyMessages = {})
        : m_mainWindow(mainWindow), m_bar(bar)
    {
        for (unsigned message : treeBusyMessages) {
            if (m_treeCount < kMaxTrees) {
                m_trees[m_treeCount++] = message;
                m_mainWindow.SendAppMessage(message, 1, 0);
            }
        }
        ResumeBar();
    }
    ~JobActivity() { End(); }
    JobActivity(const JobActivity&) = delete;
    JobActivity& operator=(const JobActivity&) = delete;

    void PauseBar()
    {
        if (m_barTurning) {
            m_barTurning = false;
            m_mainWindow.SendAppMessage(WM_APP_BUSY_STOP, 0, static_cast<LParam>(m_bar));
        }
    }
    void ResumeBar()
    {
        if (!m_barTurning && !m_ended) {
            m_barTurning = true;
            m_mainWindow.SendAppMessage(WM_APP_BUSY_START, 0, static_cast<LParam>(m_bar));
        }
    }
    // Stops the bar and gives the trees back now rather than at the end of
    // the scope (before a last message that must find the trees enabled).
    void End()
    {
        if (m_ended) {
            return;
        }
        PauseBar();
        m_ended = true;
        for (int i = m_treeCount - 1; i >= 0; --i) {
            m_mainWindow.SendAppMessage(m_trees[i], 0, 0);
        }
    }

private:
    MessageTarget& m_mainWindow;
    ActivityBar m_bar;
    unsigned m_trees[kMaxTrees] = {};
    int m_treeCount = 0;
    bool m_barTurning = false;
    bool m_ended = false;
};

} // namespace tolvar
