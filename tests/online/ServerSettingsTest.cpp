#include "online/ServerSettings.h"
#include "tests/net/RawHttpServer.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tolvar {
namespace {

using test::RawHttpServer;

net::NetTimeouts Quick()
{
    net::NetTimeouts t = ServerSettings::DefaultTimeouts();
    t.connect = std::chrono::milliseconds(500);
    t.stall = std::chrono::milliseconds(400);
    t.total = std::chrono::milliseconds(2000);
    return t;
}

TEST(ServerSettings, ParsesTheKeysInAnyOrderAmongOtherLines)
{
    struct Case
    {
        std::vector<std::string> lines;
        std::string saves, upload, codeList;
    };
    const Case cases[] = {
        {{"<html>", "CODELIST_URL=c", "# note", "SAVES_URL=s?x=1", "UPLOAD_URL=u?"},
         "s?x=1",
         "u?",
         "c"},
        {{"SAVES_URL=", "SAVES_URL=a"}, "a", "", ""},     // 10 characters: ignored
        {{"SAVES_URL=old", "SAVES_URL="}, "old", "", ""}, // an empty value keeps the old one
        {{"saves_url=lower", " SAVES_URL=indented"}, "", "", ""}, // case and column matter
        {{"UPLOAD_URL=first", "UPLOAD_URL=second"}, "", "second", ""},
        {{"CODELIST_URL=", "CODELIST_URL", "UPLOAD_URL="}, "", "", ""},
        {{"SAVES_URL= spaced value "}, " spaced value ", "", ""},
    };
    RawHttpServer none(RawHttpServer::Documents({{"/p", ""}}));
    for (const Case& c : cases) {
        ServerSettings settings(none.Url("/p"));
        for (const std::string& line : c.lines) {
            settings.ApplyLine(line);
        }
        EXPECT_EQ(settings.GetSavesUrl(), "") << "nothing shows before a page was read whole";
        ASSERT_TRUE(settings.Load());
        EXPECT_EQ(settings.GetSavesUrl(), c.saves) << c.lines.front();
        EXPECT_EQ(settings.GetUploadUrl(), c.upload) << c.lines.front();
        EXPECT_EQ(settings.GetCodeListUrl(), c.codeList) << c.lines.front();
    }
}

TEST(ServerSettings, AFailedReadKeepsTheStoreUnloadedButTheKeysItRead)
{
    test::ScriptedMessageBox boxes;
    RawHttpServer dying([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        RawHttpServer::WriteAll(
            fd,
            "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\nSAVES_URL=partial\r\nUPLOAD_URL=cut");
    });
    ServerSettings settings(dying.Url("/tolvar_settings.asp"));
    settings.SetTimeouts(Quick());
    EXPECT_FALSE(settings.Load());
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(settings.GetSavesUrl(), "");
    EXPECT_EQ(boxes.Count(), 0u) << "an internet failure shows no message";

    // Any line end will do, the last line needs none.
    RawHttpServer good(RawHttpServer::Documents(
        {{"/p", "X=1\r\nUPLOAD_URL=http://h/up?\rY\nCODELIST_URL=c.bin"}}));
    settings.SetPageAddress(good.Url("/p"));
    ASSERT_TRUE(settings.Load());
    EXPECT_TRUE(settings.IsLoaded());
    EXPECT_EQ(settings.GetSavesUrl(), "partial") << "read before the failure";
    EXPECT_EQ(settings.GetUploadUrl(), "http://h/up?");
    EXPECT_EQ(settings.GetCodeListUrl(), "c.bin");

    // Once loaded, a later failed read does not unload the store.
    settings.SetPageAddress(dying.Url("/p"));
    EXPECT_FALSE(settings.Load());
    EXPECT_TRUE(settings.IsLoaded());

    // Unlike a failed read, an address that opens nothing is reported.
    settings.SetPageAddress("ftp://127.0.0.1/tolvar_settings.asp");
    EXPECT_FALSE(settings.Load());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Could not connect to online server"});
}

TEST(ServerSettings, AddressesAskedForWhileThePageLoadsWaitForIt)
{
    // The page is read beside the window's start; an upload or a refresh
    // asking at once must get the addresses, not the empty ones of before.
    test::ScriptedMessageBox boxes;
    RawHttpServer slow([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer("SAVES_URL=s\r\nUPLOAD_URL=u"));
    });
    std::vector<std::string> told;
    const auto tell = [&told](const std::string& message) { told.push_back(message); };
    ServerSettings settings(slow.Url("/tolvar_settings.asp"));
    settings.StartLoad(tell);
    EXPECT_EQ(settings.GetUploadUrl(), "u");
    settings.Clear();
    settings.StartLoad(tell);
    EXPECT_EQ(settings.GetSavesUrl(), "s");

    // What Load would show goes to the caller, before the getters answer.
    settings.Clear();
    settings.SetPageAddress("ftp://127.0.0.1/tolvar_settings.asp");
    settings.StartLoad(tell);
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(told, std::vector<std::string>{"Could not connect to online server"});
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(ServerSettings, TheStartUpBoundsGiveUpAStalledPage)
{
    // With the bounds the program starts with, a server that sends a little
    // and then nothing more is given up once the five-second stall bound
    // passes; the net layer's own, longer stall bound would trip the watchdog.
    test::Watchdog watchdog{std::chrono::seconds(8)};
    RawHttpServer trickle([](int fd, const RawHttpServer::Request&, RawHttpServer& self) {
        RawHttpServer::WriteAll(fd,
                                "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nSAVES_URL=x\r\n");
        self.WaitForShutdown();
    });
    ServerSettings settings(trickle.Url("/tolvar_settings.asp"));
    EXPECT_FALSE(settings.Load());
}

} // namespace
} // namespace tolvar
