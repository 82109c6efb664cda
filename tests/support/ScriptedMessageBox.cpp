#include "tests/support/ScriptedMessageBox.h"

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
}

int ScriptedMessageBox::Respond(const std::string& text, unsigned type)
{
    std::lock_guard lock(m_mutex);
    m_shown.push_back({text, type});
    if (!m_answers.empty()) {
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return type == MB_YESNO ? IDNO : IDOK;
}

} // namespace tolvar::test
