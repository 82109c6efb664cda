#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvar::shell {

// One instance of the program per desktop session. The first start owns the
// application id on the session bus and answers org.freedesktop.Application
// (Activate, Open) at the id's object path; a later start hands its files to
// that one and ends.
class AppInstance
{
public:
    enum class Role
    {
        Primary, // owns the name; Serve answers the others
        Handed,  // another instance owns it and took the files
        Alone,   // no session bus, or it failed: run as the only one
    };

    virtual ~AppInstance() = default;

    // files are absolute POSIX paths. Returns the instance that owns the name
    // (role Primary), else null.
    static std::unique_ptr<AppInstance> Claim(const std::string& appId,
                                              const std::vector<std::string>& files, Role& role);

    // Starts answering later starts: onOpen runs on the UI thread with the
    // files each hands over (none: it only asks for the window).
    virtual void Serve(std::function<void(std::vector<std::string>)> onOpen) = 0;
};

// "org.tolvar.Companion" -> "/org/tolvar/Companion".
std::string ObjectPathOf(const std::string& appId);
// file:// addresses from POSIX paths and back; FileUriToPath is empty for
// anything but a local file address.
std::string PathToFileUri(const std::string& path);
std::string FileUriToPath(const std::string& uri);

} // namespace tolvar::shell
