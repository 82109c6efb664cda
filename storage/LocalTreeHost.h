#pragma once

#include "treeview/DragPayload.h"

#include <string>

namespace tolvar {

// What the Local Tree needs of the window that holds it, which lives above
// storage/ (the main window implements it). Called on the UI thread, apart
// from GetCodeListUrl.
class LocalTreeHost
{
public:
    // An online save was dropped on a location: fetch it into that
    // location's folder ("E:\\"). Everything is a copy: the download outlives
    // any refresh of either tree.
    virtual void DownloadSave(const OnlineSaveDrag& save, const std::string& folder) = 0;
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
