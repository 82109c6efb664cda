#include "platform/shell/TrashOrAsk.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/FileOps.h"
#include "platform/shell/Trash.h"

namespace tolvar::shell {

TrashOutcome TrashOrAsk(const std::string& programPath, const char* question,
                        const std::atomic<bool>* cancel)
{
    const TrashError error = Trash::Home().Put(programPath.c_str());
    if (error == TrashError::None) {
        return TrashOutcome::Trashed;
    }
    if (error == TrashError::NoSuchFile) {
        return TrashOutcome::Gone;
    }
    if (cancel != nullptr && *cancel) {
        return TrashOutcome::Keep;
    }
    const std::string text = std::string(TrashErrorText(error)) + " " + question;
    return AfxMessageBox(text, MB_YESNO) == IDYES ? TrashOutcome::LoseIt : TrashOutcome::Keep;
}

bool TrashBeforeReplace(const std::string& programPath, const std::atomic<bool>* cancel,
                        bool* asked)
{
    if (!fs::FileExists(programPath.c_str())) {
        return true;
    }
    const TrashOutcome outcome = TrashOrAsk(programPath, "Replace it anyway?", cancel);
    if (asked != nullptr) {
        *asked = outcome == TrashOutcome::LoseIt || outcome == TrashOutcome::Keep;
    }
    return outcome != TrashOutcome::Keep;
}

} // namespace tolvar::shell
