#include "treeview/DragPayload.h"

#include <charconv>

namespace tolvar {

namespace {

void AppendU32(ui::GlobalBlock& block, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        block.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint32_t ReadU32(const ui::GlobalBlock& block, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(block[at + i]) << (8 * i);
    }
    return value;
}

std::optional<int> ToInt(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

ui::GlobalBlock MakeOwnFormatBlock(WindowHandle mainWindow, const std::vector<std::string>& fields)
{
    ui::GlobalBlock block;
    AppendU32(block, static_cast<std::uint32_t>(mainWindow));
    for (const std::string& field : fields) {
        AppendU32(block, static_cast<std::uint32_t>(field.size()));
        block.insert(block.end(), field.begin(), field.end());
    }
    return block;
}

std::optional<WindowHandle> ReadOwnFormatBlock(const ui::GlobalBlock& block)
{
    if (block.size() < kOwnFormatBlockSize) {
        return std::nullopt;
    }
    return static_cast<WindowHandle>(ReadU32(block, 0));
}

std::optional<std::vector<std::string>> ReadOwnFormatFields(const ui::GlobalBlock& block)
{
    if (block.size() < kOwnFormatBlockSize) {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    std::size_t at = kOwnFormatBlockSize;
    while (at < block.size()) {
        if (block.size() - at < 4) {
            return std::nullopt;
        }
        const std::size_t length = ReadU32(block, at);
        at += 4;
        if (length > block.size() - at) {
            return std::nullopt;
        }
        fields.emplace_back(reinterpret_cast<const char*>(block.data() + at), length);
        at += length;
    }
    return fields;
}

ui::GlobalBlock MakeOnlineSaveBlock(WindowHandle mainWindow, const OnlineSaveDrag& save)
{
    return MakeOwnFormatBlock(mainWindow, {save.url, std::to_string(save.downloadSize), save.name});
}

std::optional<OnlineSaveDrag> ReadOnlineSaveBlock(const ui::GlobalBlock& block)
{
    const std::optional<std::vector<std::string>> fields = ReadOwnFormatFields(block);
    if (!fields || fields->size() != 3) {
        return std::nullopt;
    }
    const std::optional<int> size = ToInt((*fields)[1]);
    if (!size) {
        return std::nullopt;
    }
    return OnlineSaveDrag{(*fields)[0], *size, (*fields)[2]};
}

ui::GlobalBlock MakeLocalSaveBlock(WindowHandle mainWindow, const LocalSaveDrag& save)
{
    return MakeOwnFormatBlock(mainWindow,
                              {save.path, save.file, save.folder, save.codeList ? "1" : "0"});
}

std::optional<LocalSaveDrag> ReadLocalSaveBlock(const ui::GlobalBlock& block)
{
    const std::optional<std::vector<std::string>> fields = ReadOwnFormatFields(block);
    if (!fields || fields->size() != 4 || ((*fields)[3] != "0" && (*fields)[3] != "1")) {
        return std::nullopt;
    }
    return LocalSaveDrag{(*fields)[0], (*fields)[1], (*fields)[2], (*fields)[3] == "1"};
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

} // namespace tolvar
