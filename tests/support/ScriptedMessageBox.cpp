#include "tests/support/ScriptedMessageBox.h"

#include <utility>

namespace tolvar::test {

ScriptedMessageBox::ScriptedMessageBox()
{
    m_previous = SetMessageBoxHandler(
        [this](const std::string& text, unsigned type) { return Respond(text, type); });
}

ScriptedMessageBox::~ScriptedMessageBox()
{
    SetMessageBoxHandler(std::move(m_previous));
}

void ScriptedMessageBox::Answer(int answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void ScriptedMessageBox::RunInBox(std::size_t index, std::function<void()> step)
{
    std::lock_guard lock(m_mutex);
    m_stepIndex = index;
    m_step = std::move(step);
}

std::vector<ScriptedMessageBox::Shown> ScriptedMessageBox::All() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::string> ScriptedMessageBox::Texts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const Shown& shown : m_shown) {
        texts.push_back(shown.text);
    }
    return texts;
}

std::size_t ScriptedMessageBox::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_shown.size();
}

void ScriptedMessageBox::Clear()
{
    std::lock_guard lock(m_mutex);
    m_shown.clear();
    m_answers.clear();
    m_step = nullptr;
}

int ScriptedMessageBox::Respond(const std::string& text, unsigned type)
{
    std::function<void()> step;
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back({text, type});
        if (m_step && m_shown.size() == m_stepIndex + 1) {
            step = std::exchange(m_step, nullptr);
        }
    }
    if (step) {
        step();
    }
    std::lock_guard lock(m_mutex);
    if (!m_answers.empty()) {
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return type == MB_YESNO ? IDNO : IDOK;
}

} // namespace tolvar::test
