#pragma once

#include <string>
#include <vector>

namespace tolvar {

// The application object: prepares what every part relies on (the random
// generator, the window system, message boxes, the program folder, the
// network library), then runs the main window modally. When it closes, the
// program ends.
class CZyferV3App
{
public:
    // tolvar [--settings URL] [FILE...], tolvar --help | --version
    explicit CZyferV3App(std::vector<std::string> arguments);

    // Always false: no message loop runs after it, as the main window's own
    // loop has ended. ExitCode() tells whether start-up failed.
    bool InitInstance();
    // Shows a message box as the skinned box; the help id is not used.
    static int DoMessageBox(const std::string& text, unsigned type, unsigned helpId);

    int ExitCode() const { return m_exitCode; }

private:
    std::vector<std::string> m_arguments;
    int m_exitCode = 0;
};

} // namespace tolvar
