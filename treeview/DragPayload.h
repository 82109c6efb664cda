#pragma once

#include "platform/base/Types.h"
#include "platform/ui/DragDrop.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvar {

// The blocks a tree puts on a drag. The own-format block ("ZyferLocalFile",
// "ZyferOnlineFile") starts with 4 bytes, the dragging tree's main window
// handle, so a tree only takes drags that started beside it; then come the
// texts the drop needs, each as a 4-byte length and its bytes. The file
// block is a CF_HDROP list of one path, so a dragged save can land on the
// desktop as a file.
constexpr std::size_t kOwnFormatBlockSize = 4;
constexpr std::size_t kFileDropMaxPath = 510;

ui::GlobalBlock MakeOwnFormatBlock(WindowHandle mainWindow,
                                   const std::vector<std::string>& fields = {});
// The handle a block holds; nullopt for a block shorter than 4 bytes.
std::optional<WindowHandle> ReadOwnFormatBlock(const ui::GlobalBlock& block);
// The texts after the handle; nullopt when one runs past the block's end.
std::optional<std::vector<std::string>> ReadOwnFormatFields(const ui::GlobalBlock& block);

// An online save as it travels from the Online Tree to a location.
struct OnlineSaveDrag
{
    std::string url;      // the save file's address
    int downloadSize = 0; // the byte count its detail promised
    std::string name;     // as the tree shows it
};
// A save or the code list of a location as it travels to another location
// or to the Online Tree.
struct LocalSaveDrag
{
    std::string path;   // the file: folder and name joined
    std::string file;   // its name in the folder
    std::string folder; // the location's folder, ending in a backslash
    bool codeList = false;
};

ui::GlobalBlock MakeOnlineSaveBlock(WindowHandle mainWindow, const OnlineSaveDrag& save);
ui::GlobalBlock MakeLocalSaveBlock(WindowHandle mainWindow, const LocalSaveDrag& save);
// nullopt for a block that does not hold all of one.
std::optional<OnlineSaveDrag> ReadOnlineSaveBlock(const ui::GlobalBlock& block);
std::optional<LocalSaveDrag> ReadLocalSaveBlock(const ui::GlobalBlock& block);

// The path of an entry lying directly in a location: the root path (ending
// in a backslash) and the file name, with the current directory and a
// backslash in front when the root is relative (its second character is not
// ':'); cut to 510 characters.
std::string MakeDropPath(const std::string& rootPath, const std::string& fileName,
                         const std::string& currentDirectory);

} // namespace tolvar
