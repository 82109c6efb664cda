// An upload as the reference server receives it. The input's first line is
// the Content-Type header, the rest the body: whatever it holds, a part read
// from it must be a stretch of it that ends at the body's closing delimiter.
// Then the input, taken as a file's bytes, is framed the way the companion
// frames an upload: reading it back must give those very bytes.
#include "fuzz/FuzzCheck.h"
#include "server/UploadForm.h"

#include <string>
#include <string_view>

using namespace tolvar;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    if (lineEnd != std::string_view::npos) {
        const std::string contentType(input.substr(0, lineEnd));
        const std::string_view body = input.substr(lineEnd + 1);
        const std::string boundary = server::BoundaryOf(contentType);
        if (const auto part = server::ParseUploadBody(body, boundary)) {
            Check(!boundary.empty(), "no body is read without a boundary");
            const std::size_t at = body.find(part->bytes);
            Check(at != std::string_view::npos, "the file is a stretch of the body");
            Check(part->fileName.find_first_of("\r\n") == std::string::npos,
                  "the file name is one header line");
        }
    }

    const std::string boundary = "-----------------------------7d4128309d02ac";
    const std::string bytes(input);
    const std::string body =
        boundary +
        "\r\nContent-Disposition: form-data; name=\"file\"; "
        "filename=\"a.tvd\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
        bytes + "\r\n" + boundary + "--\r\n";
    const auto part = server::ParseUploadBody(body, boundary);
    Check(part.has_value(), "a framed upload is read");
    Check(part->bytes == bytes, "the file's bytes come back unchanged");
    Check(part->fileName == "a.tvd", "the file name comes back");
    return 0;
}
