#include "storage/FormatJob.h"

#include "messages/JobActivity.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"

namespace tolvar {

void FormatJob::Start(MessageTarget& mainWindow, shell::DriveFormatter& formatter,
                      shell::FormatTarget target, std::function<void(bool formatted)> done)
{
    m_job.Start([&mainWindow, &formatter, target = std::move(target),
                 done = std::move(done)](WorkerJob& job) {
        bool formatted = false;
        {
            JobActivity activity(mainWindow, ActivityBar::Local);
            if (job.IsCancelled()) {
                return;
            }
            std::string detail;
            const shell::FormatResult result = formatter.Format(target, detail);
            activity.End();
            formatted = result == shell::FormatResult::Formatted;
            if (result != shell::FormatResult::Formatted && !job.IsCancelled()) {
                AfxMessageBox(shell::FormatResultText(result, detail));
            }
        }
        if (!job.IsCancelled()) {
            InvokeOnUiThread([&done, formatted] { done(formatted); });
        }
    });
}

} // namespace tolvar
