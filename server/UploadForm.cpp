#include "server/UploadForm.h"

namespace tolvar::server {

std::string BoundaryOf(const std::string& contentType)
{
    const std::size_t at = contentType.find("boundary=");
    if (at == std::string::npos) {
        return {};
    }
    std::string boundary = contentType.substr(at + 9);
    const std::size_t end = boundary.find_first_of("; \t");
    if (end != std::string::npos) {
        boundary.erase(end);
    }
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
        boundary = boundary.substr(1, boundary.size() - 2);
    }
    return boundary;
}

std::optional<UploadPart> ParseUploadBody(std::string_view body, const std::string& boundary)
{
    if (boundary.empty() || boundary.size() > 200) {
        return std::nullopt;
    }
    const std::size_t firstEnd = body.find("\r\n");
    if (firstEnd == std::string_view::npos) {
        return std::nullopt;
    }
    std::string delimiter(body.substr(0, firstEnd));
    if (delimiter != boundary && delimiter != "--" + boundary) {
        return std::nullopt;
    }
    const std::size_t headersEnd = body.find("\r\n\r\n", firstEnd);
    if (headersEnd == std::string_view::npos) {
        return std::nullopt;
    }
    UploadPart part;
    const std::string_view headers = body.substr(firstEnd + 2, headersEnd - firstEnd - 2);
    if (const std::size_t at = headers.find("filename="); at != std::string_view::npos) {
        std::string_view name = headers.substr(at + 9);
        // A stray CR or LF ends the header line too: a name never spans lines.
        name = name.substr(0, name.find_first_of("\r\n"));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
            name = name.substr(1, name.size() - 2);
        }
        part.fileName = std::string(name);
    }
    // The file may hold any bytes, the delimiter's too: the last closing
    // delimiter of the body ends it.
    const std::string closing = "\r\n" + delimiter + "--";
    const std::size_t dataStart = headersEnd + 4;
    const std::size_t close = body.rfind(closing);
    if (close == std::string_view::npos || close < dataStart) {
        return std::nullopt;
    }
    const std::string_view after = body.substr(close + closing.size());
    if (!after.empty() && after != "\r\n") {
        return std::nullopt;
    }
    part.bytes = std::string(body.substr(dataStart, close - dataStart));
    return part;
}

} // namespace tolvar::server
