#pragma once

#include <string>

namespace tolvar {

// What the Local Tree needs of the window that holds it, which lives above
// storage/ (the main window implements it). Called on the UI thread, apart
// from GetCodeListUrl.
class LocalTreeHost
{
public:
    // Opens the upload form for one save and starts the upload job. The save
    // is named by copies taken from its record, never by the record: the
    // job outlives any tree refresh.
    virtual void StartUpload(const std::string& fullPath, const std::string& fileName,
                             const std::string& folder) = 0;
    // The settings' code list address. When the settings gave none, the
    // settings page is read once more; empty when it still names none. Called
    // on the code list job's thread, so the window stays live while the page
    // is read.
    virtual std::string GetCodeListUrl() const = 0;
    // A job ended well without a message of its own (a drive formatted): the
    // window tells the user when it is away.
    virtual void NoticeIfAway(const std::string& /*text*/) {}
    // Whether a download is being written into a location's folder ("E:\\"),
    // so the drive is not removed under it.
    virtual bool IsDownloadingTo(const std::string& /*folder*/) const { return false; }

protected:
    ~LocalTreeHost() = default; // never deleted through this interface
};

} // namespace tolvar
