// tolvar [--settings URL]: the companion's main window. --settings points a
// run at another settings page than the build's default.
#include "app/ZyferV3App.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    tolvar::CZyferV3App app(std::vector<std::string>(argv, argv + argc));
    app.InitInstance();
    return app.ExitCode();
}
