#include "storage/RemoveDriveJob.h"

namespace tolvar {

void RemoveDriveJob::Start(MessageTarget& mainWindow, shell::DriveRemover& remover,
                           shell::FormatTarget target, std::function<void(bool removed)> done)
{
    StartAct(
        mainWindow,
        [&remover, target = std::move(target)](WorkerJob&) {
            std::string detail;
            const shell::RemoveResult result = remover.Remove(target, detail);
            if (result == shell::RemoveResult::Removed) {
                return Outcome{true, {}};
            }
            return Outcome{false, shell::RemoveResultText(result, detail)};
        },
        std::move(done));
}

} // namespace tolvar
