#pragma once

#include "platform/base/Types.h"
#include "platform/ui/DragDrop.h"

#include <optional>
#include <string>

namespace tolvar {

// The blocks a tree puts on a drag. The own-format block ("ZyferLocalFile",
// "ZyferOnlineFile") is 4 bytes: the dragging tree's main window handle, so
// a tree only takes drags that started beside it. The file block is a
// CF_HDROP list of one path, 532 bytes, so a dragged save can land on the
// desktop as a file.
constexpr std::size_t kOwnFormatBlockSize = 4;
constexpr std::size_t kFileDropBlockSize = 532;
constexpr std::size_t kFileDropMaxPath = 510;

ui::GlobalBlock MakeOwnFormatBlock(WindowHandle mainWindow);
// The handle a block holds; nullopt for a block shorter than 4 bytes.
std::optional<WindowHandle> ReadOwnFormatBlock(const ui::GlobalBlock& block);

// The path of an entry lying directly in a location: the root path (ending
// in a backslash) and the file name, with the current directory and a
// backslash in front when the root is relative (its second character is not
// ':'); cut to 510 characters.
std::string MakeDropPath(const std::string& rootPath, const std::string& fileName,
                         const std::string& currentDirectory);
// The 532-byte CF_HDROP block naming one path (cut to 510 characters).
ui::GlobalBlock MakeFileDropBlock(const std::string& path);

} // namespace tolvar
