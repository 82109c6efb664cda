#include "online/OnlineListJob.h"
#include "messages/AppMessages.h"
#include "online/OnlineFolder.h"
#include "online/OnlineSave.h"
#include "online/OnlineTreeView.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageTarget.h"
#include "platform/base/QueuedUiInvoker.h"
#include "platform/base/UiThread.h"
#include "tests/net/RawHttpServer.h"
#include "tests/online/RecordingMainWindow.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>

namespace tolvar {
namespace {

using test::RawHttpServer;
using test::RecordingMainWindow;
using Strings = std::vector<std::string>;

// Stands in for the Online Tree: records every call and the thread it came on.
class RecordingView final : public OnlineTreeView
{
public:
    void AddFolderItem(OnlineFolder* folder, OnlineFolder* parent) override
    {
        Note("folder " + folder->m_name + " in " + parent->m_name);
    }
    void AddSaveItem(OnlineSave* save, OnlineFolder* parent) override
    {
        Note("save " + save->m_name + " in " + parent->m_name);
    }
    void SetRedraw(bool redraw) override { Note(redraw ? "redraw on" : "redraw off"); }
    void EnableWindow(bool enable) override
    {
        Note(enable ? "enable" : "disable");
        if (onEnable) {
            onEnable(enable);
        }
    }
    void RedrawWindow() override { Note("repaint"); }
    void UpdateScrollBar() override { Note("scroll bar"); }

    Strings calls;
    bool offUiThread = false;
    std::function<void(bool)> onEnable;

private:
    void Note(const std::string& call)
    {
        offUiThread = offUiThread || std::this_thread::get_id() != m_uiThread;
        calls.push_back(call);
    }
    std::thread::id m_uiThread = std::this_thread::get_id();
};

Strings Names(const OnlineFolder& folder)
{
    Strings names;
    for (const auto& child : folder.m_children) {
        names.push_back(child->m_name);
    }
    return names;
}

const OnlineSave& SaveAt(const OnlineFolder& folder, std::size_t index)
{
    auto it = std::next(folder.m_children.begin(), static_cast<long>(index));
    EXPECT_EQ((*it)->m_kind, kOnlineKindSave);
    return static_cast<const OnlineSave&>(**it);
}

// Whether a request went to `query` with a random number appended that no
// earlier request in `seen` carried.
bool RandomAfter(const std::string& target, const std::string& query, std::set<std::string>& seen)
{
    const std::string head = query + "&random=";
    return target.size() > head.size() && target.compare(0, head.size(), head) == 0 &&
           target.find_first_not_of("0123456789", head.size()) == std::string::npos &&
           seen.insert(target.substr(head.size())).second;
}

// A job against a server answering from `docs`; a path of /close is closed unanswered.
class ListJob : public ::testing::Test
{
protected:
    ListJob()
    {
        root.m_name = "Online Database";
        listJob.SetTraceStream(nullptr);
    }

    void Wait()
    {
        ui.PumpWhile([&] { return listJob.IsRunning(); });
        listJob.WaitForJob();
    }
    void FetchAndWait(const std::string& url, OnlineFolder* parent)
    {
        listJob.Fetch(url, parent);
        Wait();
    }
    // Puts the server's address where a document says URL.
    std::string Here(const std::string& text) const { return Here(text, server); }
    static std::string Here(std::string text, const RawHttpServer& at)
    {
        for (std::size_t i = 0; (i = text.find("URL", i)) != std::string::npos;) {
            text.replace(i, 3, at.Url(""));
        }
        return text;
    }

    const Strings kNoConnection{"Could not establish an internet connection."};
    const Strings kBusyMessages{"start 0 1", "stop 0 1"};
    std::map<std::string, std::string> docs;
    RawHttpServer server{
        [this](int fd, const RawHttpServer::Request& request, RawHttpServer& self) {
            if (request.path() != "/close") {
                RawHttpServer::Documents(docs)(fd, request, self);
            }
        }};
    test::ScriptedMessageBox boxes;
    QueuedUiInvoker ui;
    RecordingView view;
    RecordingMainWindow mainWindow;
    OnlineListJob listJob{&view, &mainWindow};
    OnlineFolder root;
};

TEST_F(ListJob, ListsAreFetchedThenTheDetailOfEverySaveOnTheUiThreadsTerms)
{
    // Indented with CRLF and tabs; the declaration line goes with what it holds.
    docs["/list"] =
        Here("<?xml version=\"1.0\"?><save><name>gone</name></save>\r\n<result>\r\n"
             "\t<folder>\r\n\t\t<name>Online+Community</name>\r\n\t\t<url>URL/list?f=oc</"
             "url>\r\n\t</folder>\r\n"
             "\t<save>\r\n\t\t<name>A+Save%2E1</name>\r\n\t\t<description>first</description>\r\n"
             "\t\t<url>URL/detail?s=1</url>\r\n\t</save>\r\n"
             "\t<save>\r\n\t\t<name>b%41</name>\r\n\t\t<url>URL/nofile?s=2</url>\r\n\t</save>\r\n"
             "\t<save>\r\n\t\t<name>No+Url</name>\r\n\t</save>\r\n</result>\r\n");
    // The last of two files counts; a save and a folder that belong to no
    // list are never queued, by this job or a later one.
    docs["/detail"] =
        Here("<result>\n  <file>\n    <download_url>u1</download_url>\n"
             "    <download_size>1</download_size>\n  </file>\n  <file>\n"
             "    <download_url>http://dl/A+Save%2E1%2Etvd</download_url>\n"
             "    <download_size>12345</download_size>\n  </file>\n"
             "<save> <name>stray</name> <url>URL/stray?s=3</url> </save> "
             "<folder> <name>lost</name> <url>URL/lost?f=1</url> </folder></result>\n");
    docs["/nofile"] = "<result>\n  <status>no file</status>\n</result>";
    // A Fetch made as the tree takes input again would be dropped while the job still ran.
    bool runningWhenEnabled = true;
    view.onEnable = [&](bool enable) { runningWhenEnabled = enable && listJob.IsRunning(); };
    FetchAndWait(server.Url("/list?f=root"), &root);
    EXPECT_FALSE(runningWhenEnabled);

    EXPECT_EQ(boxes.Texts(), Strings{});
    // Mixed folders and saves, by name regardless of case.
    EXPECT_EQ(Names(root), (Strings{"A Save.1", "b", "No Url", "Online Community"}));
    EXPECT_EQ(root.m_children.back()->m_url.value_or(""), server.Url("/list?f=oc"));
    const OnlineSave& first = SaveAt(root, 0);
    EXPECT_FALSE(first.m_placeholder);
    ASSERT_NE(first.m_file, nullptr);
    EXPECT_EQ(first.m_file->m_downloadSize, 12345);
    EXPECT_EQ(first.m_file->m_url.value_or(""), "http://dl/A+Save%2E1%2Etvd");
    EXPECT_EQ(first.m_description, "first");
    EXPECT_EQ(SaveAt(root, 1).m_file, nullptr);
    EXPECT_EQ(SaveAt(root, 2).m_file, nullptr);

    // The list, then one detail per save with a url (side by side, so in
    // either order), each with a fresh random.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    std::set<std::string> randoms;
    Strings targets = {requests[0].target(), requests[1].target(), requests[2].target()};
    std::sort(targets.begin() + 1, targets.end());
    for (std::size_t i = 0; i < 3; ++i) {
        const char* query[] = {"/list?f=root", "/detail?s=1", "/nofile?s=2"};
        EXPECT_TRUE(RandomAfter(targets[i], query[i], randoms)) << targets[i];
    }

    EXPECT_FALSE(view.offUiThread);
    EXPECT_EQ(view.calls,
              (Strings{"disable", "repaint", "redraw off", "save A Save.1 in Online Database",
                       "save b in Online Database", "save No Url in Online Database",
                       "folder Online Community in Online Database", "redraw on", "enable",
                       "repaint", "scroll bar"}));
    EXPECT_EQ(mainWindow.Messages(), kBusyMessages);

    OnlineFolder other;
    docs["/list"] = "<result><save><name>U</name></save></result>";
    FetchAndWait(server.Url("/list?f=o"), &other);
    EXPECT_EQ(server.Requests().size(), 4u) << "a stray record was fetched";
}

TEST_F(ListJob, AFailedListShowsTheMessageAddsNothingAndFreesTheTree)
{
    RawHttpServer dying([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        RawHttpServer::WriteAll(
            fd, "HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n<result><save><name>x</name>"
                "<url>http://127.0.0.1:1/d?a</url></save>");
    });
    FetchAndWait(dying.Url("/list?f=1"), &root);
    EXPECT_TRUE(root.m_children.empty()) << "nothing of a failed document is parsed";
    EXPECT_EQ(boxes.Texts(), kNoConnection);
    EXPECT_EQ(dying.Requests().size(), 1u);
    EXPECT_EQ(view.calls, (Strings{"disable", "repaint", "redraw off", "redraw on", "enable",
                                   "repaint", "scroll bar"}));
    EXPECT_EQ(mainWindow.Messages(), kBusyMessages);
    EXPECT_FALSE(listJob.IsRunning());
}

// Every field of a folder's records, in order, one line each.
Strings Dump(const OnlineFolder& folder)
{
    Strings lines;
    for (const auto& child : folder.m_children) {
        std::string line = std::to_string(child->m_kind) + "|" + child->m_name + "|" +
                           child->m_description + "|" + child->m_url.value_or("<null>");
        if (child->m_kind == kOnlineKindSave) {
            const auto& save = static_cast<const OnlineSave&>(*child);
            line += "|" + std::to_string(save.m_placeholder);
            if (save.m_file) {
                line += "|" + save.m_file->m_url.value_or("<null>") + "|" +
                        std::to_string(save.m_file->m_downloadSize);
            }
        }
        lines.push_back(line);
    }
    return lines;
}

TEST_F(ListJob, DetailsSideBySideGiveEverySaveItsRecordEvenWhenSomeFail)
{
    // Forty saves in no order of name; their details answer at staggered
    // moments, every fifth breaks off in its own way, and one is too large
    // to be a detail document.
    constexpr int kSaves = 40;
    constexpr int kHuge = 15; // a detail that would give a file
    std::string list = "<result>";
    for (int i = 0; i < kSaves; ++i) {
        list += "<save><name>" + std::string(i % 2 ? "save+" : "Save+") +
                std::to_string(i * 17 % kSaves) + "</name><description>d" + std::to_string(i) +
                "</description>" +
                (i % 7 == 3 ? "" : "<url>URL/d?s=" + std::to_string(i) + "</url>") + "</save>";
        if (i % 10 == 0) {
            list += "<folder><name>f" + std::to_string(i) +
                    "</name><url>URL/l?f=" + std::to_string(i) + "</url></folder>";
        }
    }
    list += "</result>";
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    RawHttpServer flaky([&](int fd, const RawHttpServer::Request& request, RawHttpServer&) {
        if (request.path() == "/list") {
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer(list));
            return;
        }
        const int now = ++inFlight;
        int most = mostInFlight.load();
        while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
        }
        const std::string target = request.target();
        const int s = std::atoi(target.c_str() + target.find("s=") + 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(s * 13 % 9 * 5));
        --inFlight;
        const std::string doc = "<result><file><download_url>http://dl/" + std::to_string(s) +
                                "</download_url><download_size>" + std::to_string(s * 100) +
                                "</download_size></file></result>";
        if (s == kHuge) {
            const std::string padding(OnlineListJob::kMaxDetailBytes, ' ');
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer(doc + padding));
            return;
        }
        switch (s % 5) {
        case 1: // closed unanswered
            break;
        case 2: // cut short
            RawHttpServer::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\n" + doc);
            break;
        case 3: // an error page is a document like any other
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer("<result></result>", 404));
            break;
        default:
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer(doc));
        }
    });
    list = Here(list, flaky); // before the first request reads it
    OnlineFolder folder;
    folder.m_name = "Online Database";
    FetchAndWait(flaky.Url("/list?f=1"), &folder);

    // Saves 1, 2, 6, 7, ... break off, and so does the huge one (those
    // without a url are not asked for); every other save has its own file.
    std::size_t broken = 0;
    Strings files;
    for (int i = 0; i < kSaves; ++i) {
        const bool asked = i % 7 != 3;
        broken += asked && (i % 5 == 1 || i % 5 == 2 || i == kHuge) ? 1 : 0;
        if (asked && (i % 5 == 0 || i % 5 == 4) && i != kHuge) {
            files.push_back("http://dl/" + std::to_string(i) + "|" + std::to_string(i * 100));
        }
    }
    EXPECT_EQ(boxes.Count(), broken);
    Strings got;
    for (const std::string& record : Dump(folder)) {
        const std::size_t at = record.find("http://dl/");
        if (at != std::string::npos) {
            got.push_back(record.substr(at));
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, files);
    EXPECT_LE(mostInFlight.load(), OnlineListJob::kDetailConnections);
}

TEST_F(ListJob, DestroyingAListJobWhileItsJobWaitsOnTheUiThreadServesItAndEnds)
{
    // The main window answers the job's busy message with work on the UI
    // thread, so the job surely waits there when the listJob goes.
    class AskingMainWindow final : public MessageTarget
    {
    public:
        LResult SendAppMessage(unsigned message, WParam, LParam) override
        {
            if (message == WM_APP_BUSY_START) {
                asking = true;
                InvokeOnUiThread([this] { served = true; });
            }
            return 0;
        }
        std::atomic<bool> asking{false};
        bool served = false;
    } asker;
    test::Watchdog watchdog;
    docs["/list"] = "<result><save><name>one</name></save></result>";
    {
        OnlineListJob local(&view, &asker);
        local.SetTraceStream(nullptr);
        local.Fetch(server.Url("/list?f=1"), &root);
        while (!asker.asking) {
            std::this_thread::yield(); // nothing pumps here: only the destruction serves
        }
    }
    EXPECT_TRUE(asker.served);
    EXPECT_TRUE(root.m_children.empty()) << "a cancelled job shows nothing";
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(ListJob, TheParseIsTracedOnlyWhenTheEnvironmentAsksForIt)
{
    docs["/list"] = "<result><save><name>one</name></save></result>";
    for (const bool asked : {false, true}) {
        if (asked) {
            ::setenv("TOLVAR_XML_TRACE", "1", 1);
        } else {
            ::unsetenv("TOLVAR_XML_TRACE");
        }
        OnlineListJob local(&view, &mainWindow); // its trace as the program leaves it
        OnlineFolder folder;
        ::testing::internal::CaptureStdout();
        local.Fetch(server.Url("/list?f=1"), &folder);
        ui.PumpWhile([&] { return local.IsRunning(); });
        local.WaitForJob();
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.find("Found Element: \nname: name\nvalue: one") != std::string::npos, asked)
            << out;
        EXPECT_EQ(Names(folder), Strings{"one"});
    }
    ::unsetenv("TOLVAR_XML_TRACE");
}

TEST_F(ListJob, ASecondFetchFromOutsideWhileOneRunsIsRefused)
{
    RawHttpServer slow([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RawHttpServer::WriteAll(
            fd, RawHttpServer::Answer("<result><save><name>one</name></save></result>"));
    });
    OnlineFolder other;
    listJob.Fetch(slow.Url("/a?x"), &root);
    EXPECT_TRUE(listJob.IsRunning());
    listJob.Fetch(slow.Url("/b?x"), &other);
    Wait();
    EXPECT_EQ(slow.Requests().size(), 1u);
    EXPECT_EQ(Names(root), Strings{"one"});
    EXPECT_TRUE(other.m_children.empty());
}

TEST_F(ListJob, DestroyingAListJobWhileItsJobWaitsOnASilentServerEndsIt)
{
    RawHttpServer silent(
        [](int, const RawHttpServer::Request&, RawHttpServer& self) { self.WaitForShutdown(); });
    // Shorter than the stall bound: only a cancel ends the job in time.
    test::Watchdog watchdog{std::chrono::seconds(8)};
    {
        OnlineListJob local(&view, &mainWindow);
        local.Fetch(silent.Url("/list?x"), &root);
        ui.PumpWhile([&] { return silent.Requests().empty(); });
    }
    EXPECT_TRUE(root.m_children.empty());
}

TEST_F(ListJob, RefreshRootReadsTheSettingsWhenNeededAndFetchesSavesUrl)
{
    const std::string previous = TheServerSettings().GetPageAddress();
    EXPECT_NE(previous.find("/tolvar_settings.asp"), std::string::npos);

    // No settings server: the message, and nothing fetched.
    const int freePort = test::FreeLoopbackPort();
    TheServerSettings().SetPageAddress("http://127.0.0.1:" + std::to_string(freePort) +
                                       "/tolvar_settings.asp");
    TheServerSettings().Clear(); // whatever an earlier test loaded
    EXPECT_TRUE(listJob.RefreshRoot(&root));
    Wait();
    EXPECT_EQ(boxes.Texts(), Strings{"The internet connection does not appear to be working"});
    EXPECT_FALSE(listJob.IsRunning());
    EXPECT_TRUE(view.calls.empty());

    docs["/tolvar_settings.asp"] = "SAVES_URL=" + server.Url("/saves?list=1") + "\r\n";
    docs["/saves"] = "<result> <folder> <name>F</name> <url>x</url> </folder> </result>";
    TheServerSettings().SetPageAddress(server.Url("/tolvar_settings.asp"));
    boxes.Clear();
    EXPECT_TRUE(listJob.RefreshRoot(&root));
    Wait();
    EXPECT_EQ(boxes.Texts(), Strings{});
    EXPECT_EQ(Names(root), Strings{"F"});
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target(), "/tolvar_settings.asp");
    std::set<std::string> randoms;
    EXPECT_TRUE(RandomAfter(requests[1].target(), "/saves?list=1", randoms))
        << requests[1].target();

    // Once the address is known the settings page is not read again; the
    // list is asked for with a new number.
    root.m_children.clear();
    listJob.RefreshRoot(&root);
    Wait();
    ASSERT_EQ(server.Requests().size(), 3u);
    const std::string again = server.Requests()[2].target();
    EXPECT_TRUE(RandomAfter(again, "/saves?list=1", randoms)) << again;
    TheServerSettings().SetPageAddress(previous);
    TheServerSettings().Clear();
}

} // namespace
} // namespace tolvar
