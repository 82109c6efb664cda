#pragma once

#include "platform/base/MessageBox.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tolvar::test {

// Installs itself as the message box handler for its lifetime. Each box takes
// the next scripted answer; with none left, OK boxes answer IDOK and Yes/No
// boxes answer IDNO (the safe answer). Every text shown is recorded.
class ScriptedMessageBox
{
public:
    struct Shown
    {
        std::string text;
        unsigned type;
    };

    ScriptedMessageBox();
    ~ScriptedMessageBox();
    ScriptedMessageBox(const ScriptedMessageBox&) = delete;
    ScriptedMessageBox& operator=(const ScriptedMessageBox&) = delete;

    void Answer(int answer); // queue one answer
    // Runs a step while box number `index` (from 0, counted since Clear) is
    // open, as a real box's loop runs posted messages (a drive removal).
    void RunInBox(std::size_t index, std::function<void()> step);
    std::vector<Shown> All() const;
    std::vector<std::string> Texts() const;
    std::size_t Count() const;
    void Clear();

private:
    int Respond(const std::string& text, unsigned type);

    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<Shown> m_shown;
    std::size_t m_stepIndex = 0;
    std::function<void()> m_step;
    MessageBoxHandler m_previous;
};

} // namespace tolvar::test
