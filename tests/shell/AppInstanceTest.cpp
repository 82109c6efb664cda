// The file addresses a second start hands the running one: paths go out as
// file:// addresses and come back the same, and what is not a local file's
// address (another host, another scheme, an encoded NUL) comes back empty.
#include "platform/shell/AppInstance.h"

#include <gtest/gtest.h>

namespace tolvar::shell {
namespace {

TEST(AppInstance, FileAddressesRoundTripAndOnlyLocalFilesComeBack)
{
    for (const char* path : {"/home/ann/Desert Rally Stage 5.tvd", "/tmp/100%/a#b?.tvd",
                             "/m\xc3\xa9moire/\x01x.tvd"}) {
        EXPECT_EQ(FileUriToPath(PathToFileUri(path)), path);
    }
    EXPECT_EQ(PathToFileUri("/a b/c.tvd"), "file:///a%20b/c.tvd");
    const std::pair<const char*, const char*> addresses[] = {
        {"file:///a/b.tvd", "/a/b.tvd"},
        {"file://localhost/a/b.tvd", "/a/b.tvd"},
        {"file:///a/%4", "/a/%4"},
        {"file://elsewhere/a/b.tvd", ""},
        {"http://host/a.tvd", ""},
        {"file:///a%00b.tvd", ""},
        {"file:", ""},
    };
    for (const auto& [address, path] : addresses) {
        EXPECT_EQ(FileUriToPath(address), path) << address;
    }
    EXPECT_EQ(ObjectPathOf("org.tolvar.Companion"), "/org/tolvar/Companion");
}

} // namespace
} // namespace tolvar::shell
