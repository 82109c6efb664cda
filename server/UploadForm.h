#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvar::server {

// The one file part of an upload's multipart body.
struct UploadPart
{
    std::string fileName;
    std::string bytes;
};

// Takes the boundary out of a Content-Type header value
// ("multipart/form-data, boundary=..." or with ";"); empty when there is none.
std::string BoundaryOf(const std::string& contentType);

// Reads a body of one part: a delimiter line, the part's header lines, an
// empty line, the file's bytes, then CR LF, the delimiter and "--". The
// delimiter line is the bare boundary, as the companion sends it, or the
// boundary after two more minus signs, as other clients write it.
std::optional<UploadPart> ParseUploadBody(std::string_view body, const std::string& boundary);

} // namespace tolvar::server
