#include "storage/RemoveDriveJob.h"

#include "messages/JobActivity.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"

namespace tolvar {

void RemoveDriveJob::Start(MessageTarget& mainWindow, shell::DriveRemover& remover,
                           shell::FormatTarget target, std::function<void(bool removed)> done)
{
    m_job.Start([&mainWindow, &remover, target = std::move(target),
                 done = std::move(done)](WorkerJob& job) {
        bool removed = false;
        {
            JobActivity activity(mainWindow, ActivityBar::Local);
            if (job.IsCancelled()) {
                return;
            }
            std::string detail;
            const shell::RemoveResult result = remover.Remove(target, detail);
            activity.End();
            removed = result == shell::RemoveResult::Removed;
            if (!removed && !job.IsCancelled()) {
                AfxMessageBox(shell::RemoveResultText(result, detail));
            }
        }
        if (!job.IsCancelled()) {
            InvokeOnUiThread([&done, removed] { done(removed); });
        }
    });
}

} // namespace tolvar
