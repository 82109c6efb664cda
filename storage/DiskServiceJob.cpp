#include "storage/DiskServiceJob.h"

#include "messages/JobActivity.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"

namespace tolvar {

void DiskServiceJob::StartAct(MessageTarget& mainWindow, std::function<Outcome(WorkerJob& job)> act,
                              std::function<void(bool succeeded)> done)
{
    m_job.Start([&mainWindow, act = std::move(act), done = std::move(done)](WorkerJob& job) {
        bool succeeded = false;
        {
            JobActivity activity(mainWindow, ActivityBar::Local);
            if (job.IsCancelled()) {
                return;
            }
            const Outcome outcome = act(job);
            activity.End();
            succeeded = outcome.succeeded;
            if (!succeeded && !outcome.failure.empty() && !job.IsCancelled()) {
                AfxMessageBox(outcome.failure);
            }
        }
        if (!job.IsCancelled()) {
            InvokeOnUiThread([&done, succeeded] { done(succeeded); });
        }
    });
}

} // namespace tolvar
