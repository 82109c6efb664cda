#include "server/UploadForm.h"

#include <gtest/gtest.h>

namespace tolvar::server {
namespace {

const std::string kBoundary = "-----------------------------7d4128309d02ac";

std::string Body(const std::string& delimiter, const std::string& bytes,
                 const std::string& name = "a.tvd")
{
    return delimiter + "\r\nContent-Disposition: form-data; filename=" + name +
           "\r\nContent-Type: binary\r\n\r\n" + bytes + "\r\n" + delimiter + "--\r\n";
}

TEST(UploadForm, TakesTheBoundaryFromTheHeader)
{
    EXPECT_EQ(BoundaryOf("multipart/form-data, boundary=" + kBoundary), kBoundary);
    EXPECT_EQ(BoundaryOf("multipart/form-data; boundary=\"abc\"; charset=x"), "abc");
    EXPECT_EQ(BoundaryOf("multipart/form-data"), "");
}

TEST(UploadForm, ReadsTheCompanionsBodyWithBareDelimiterLines)
{
    std::string bytes = "\r\n" + kBoundary + "\r\n"; // file bytes that look like a delimiter
    bytes += std::string("\0\x01\xFF", 3);
    const auto part = ParseUploadBody(Body(kBoundary, bytes, "My Save.tvd"), kBoundary);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->bytes, bytes);
    EXPECT_EQ(part->fileName, "My Save.tvd");

    const auto standard = ParseUploadBody(Body("--" + kBoundary, "xyz", "\"q.tvd\""), kBoundary);
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->bytes, "xyz");
    EXPECT_EQ(standard->fileName, "q.tvd");

    const auto strayCr = ParseUploadBody(Body(kBoundary, "xyz", "\"c.tvd\"\r\xA4X: y"), kBoundary);
    ASSERT_TRUE(strayCr);
    EXPECT_EQ(strayCr->fileName, "c.tvd") << "a lone CR ends the header line";

    const auto empty = ParseUploadBody(Body(kBoundary, ""), kBoundary);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->bytes, "");
}

TEST(UploadForm, RefusesBodiesThatAreCutOrMisframed)
{
    const std::string good = Body(kBoundary, "data");
    for (const std::string& bad : {
             std::string(), good.substr(0, good.size() - 8), // cut before the closing delimiter
             "other-boundary\r\n" + good.substr(kBoundary.size() + 2), // wrong first line
             good + "trailing junk",
             kBoundary + "\r\nContent-Type: binary\r\n", // no end of the headers
         }) {
        EXPECT_FALSE(ParseUploadBody(bad, kBoundary)) << bad;
    }
    EXPECT_FALSE(ParseUploadBody(good, ""));
}

} // namespace
} // namespace tolvar::server
