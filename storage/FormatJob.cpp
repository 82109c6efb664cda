#include "storage/FormatJob.h"

#include "platform/fs/FileOps.h"
#include "platform/fs/FindFile.h"
#include "platform/shell/TrashOrAsk.h"

#include <atomic>
#include <string>
#include <vector>

namespace tolvar {

namespace {

// The drive's saves and code list go to the trash before a format wipes
// them. False when one could not and the user would not lose it, or the job
// stopped.
bool TrashSaves(const std::string& mountPoint, const std::atomic<bool>& cancel)
{
    const std::string folder = mountPoint.ends_with('/') ? mountPoint : mountPoint + "/";
    std::vector<std::string> paths;
    fs::FindFile find;
    for (bool found = find.First((folder + "*.tvd").c_str()); found; found = find.Next()) {
        if (!find.IsDirectory()) {
            paths.push_back(folder + find.FileName());
        }
    }
    find.Close();
    const std::string codeList = folder + "codelist.bin";
    if (fs::FileExists(codeList.c_str())) {
        paths.push_back(codeList);
    }
    for (const std::string& path : paths) {
        if (cancel || shell::TrashOrAsk(path, "Format anyway and lose it?", &cancel) ==
                          shell::TrashOutcome::Keep) {
            return false;
        }
    }
    return true;
}

} // namespace

void FormatJob::Start(MessageTarget& mainWindow, shell::DriveFormatter& formatter,
                      shell::FormatTarget target, std::function<void(bool formatted)> done)
{
    StartAct(
        mainWindow,
        [&formatter, target = std::move(target)](WorkerJob& job) {
            if (!TrashSaves(target.mountPoint, job.CancelFlag())) {
                return Outcome{};
            }
            std::string detail;
            const shell::FormatResult result = formatter.Format(target, detail);
            if (result == shell::FormatResult::Formatted) {
                return Outcome{true, {}};
            }
            return Outcome{false, shell::FormatResultText(result, detail)};
        },
        std::move(done));
}

} // namespace tolvar
