#pragma once

#include <atomic>
#include <string>

namespace tolvar::shell {

enum class TrashOutcome
{
    Trashed, // the file is in the trash, gone from its folder
    Gone,    // there was no file to put there
    LoseIt,  // the trash could not take it and the user agreed to lose it
    Keep,    // the trash could not take it and the user said No (or the job stopped)
};

// Puts a file the program is about to destroy into the user's trash. When
// the trash cannot take it, the user is told why and asked `question`
// ("Delete it for good?"); nothing is lost without a Yes. A job passes its
// cancel flag, so a stopped job asks nothing and keeps the file.
TrashOutcome TrashOrAsk(const std::string& programPath, const char* question,
                        const std::atomic<bool>* cancel = nullptr);

// For a file about to be replaced: true when the replace may go ahead (a
// file that is not there is nothing to lose). asked tells whether a question
// was shown, whose loop may have served other events meanwhile.
bool TrashBeforeReplace(const std::string& programPath, const std::atomic<bool>* cancel = nullptr,
                        bool* asked = nullptr);

} // namespace tolvar::shell
