#include "treeview/DragPayload.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

ui::GlobalBlock MakeOwnFormatBlock(WindowHandle mainWindow)
{
    ui::GlobalBlock block(kOwnFormatBlockSize, 0);
    for (std::size_t i = 0; i < kOwnFormatBlockSize; ++i) {
        block[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(mainWindow) >> (8 * i));
    }
    return block;
}

std::optional<WindowHandle> ReadOwnFormatBlock(const ui::GlobalBlock& block)
{
    if (block.size() < kOwnFormatBlockSize) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < kOwnFormatBlockSize; ++i) {
        value |= static_cast<std::uint32_t>(block[i]) << (8 * i);
    }
    return static_cast<WindowHandle>(value);
}

std::string MakeDropPath(const std::string& rootPath, const std::string& fileName,
                         const std::string& currentDirectory)
{
    std::string path;
    if (rootPath.size() < 2 || rootPath[1] != ':') {
        path = currentDirectory + "\\";
    }
    path += rootPath;
    path += fileName;
    if (path.size() > kFileDropMaxPath) {
        path.resize(kFileDropMaxPath);
    }
    return path;
}

ui::GlobalBlock MakeFileDropBlock(const std::string& path)
{
    ui::GlobalBlock block(kFileDropBlockSize, 0);
    block[0] = 20; // offset of the list; the drop point, client flag and wide flag stay 0
    const std::size_t n = std::min(path.size(), kFileDropMaxPath);
    std::memcpy(block.data() + 20, path.data(), n);
    return block;
}

} // namespace tolvar
