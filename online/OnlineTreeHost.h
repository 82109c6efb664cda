#pragma once

#include "treeview/DragPayload.h"

namespace tolvar {

// What the Online Tree needs of the window that holds it, which lives above
// online/ (the main window implements it). Called on the UI thread.
class OnlineTreeHost
{
public:
    // A save of the Local Tree was dropped here: offer it to the community.
    virtual void UploadSave(const LocalSaveDrag& save) = 0;

protected:
    ~OnlineTreeHost() = default; // never deleted through this interface
};

} // namespace tolvar
