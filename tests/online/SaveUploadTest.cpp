#include "online/SaveUploader.h"
#include "online/UploadJob.h"

#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "saveformat/SaveFormat.h"
#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"
#include "tests/online/JobFaults.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using test::kInternetFailed;
using test::RawHttpServer;
using test::Text;
using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

const std::string kTempCopyFailed = "Could not open temporary file, an error may occur";
const std::string kNotComplete = "The save transfer did not complete.";

// The form as a user fills it: the texts it was shown, and what it hands back.
struct ScriptedForm
{
    int result = 1;
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::vector<UploadFormFields> shown;

    UploadFormRunner Runner()
    {
        return [this](UploadFormFields& fields) {
            shown.push_back(fields);
            if (name) {
                fields.saveName = *name;
            }
            if (description) {
                fields.description = *description;
            }
            return result;
        };
    }
};

// Each test runs in a folder of its own holding "Temp", which the program
// makes beside itself and the upload names "temp\".
class SaveUpload : public test::JobFaults
{
protected:
    SaveUpload()
    {
        fsys::create_directory(dir / "Temp");
        fsys::create_directory(dir / "drive");
        m_previousDir = fsys::current_path();
        fsys::current_path(dir.Path());
    }
    ~SaveUpload() override { fsys::current_path(m_previousDir); }

    // A save on the "drive" named fileName, holding the save name saveName.
    std::string PutSave(const std::string& fileName, const Bytes& bytes)
    {
        test::WriteBytes(dir / "drive" / fileName, bytes);
        return test::ProgramFolder(dir / "drive") + fileName;
    }

    bool Upload(const std::string& path, const std::string& url, const std::string& nameDefault,
                const std::string& fileName = "save.tvd")
    {
        SaveUploader uploader(form.Runner());
        return uploader.UploadSave(path, fileName, url, nameDefault, nameDefault);
    }

    test::TempDir dir;
    ScriptedForm form;

private:
    fsys::path m_previousDir;
};

TEST_F(SaveUpload, SendsTheFormsFieldsInTheQueryAndTheRenamedCopyInTheBody)
{
    RawHttpServer server([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer("Thanks\r\nResult=1\r\n"));
    });
    const Bytes original = test::MakeSave("Old Name", 1536, "12345", 4096);
    const std::string path = PutSave("old.tvd", original);
    form.name = "A B";
    form.description = "x&y\r\nline two";

    ASSERT_TRUE(Upload(path, server.Url("/up.asp?"), "Old Name", "old.tvd"));

    ASSERT_EQ(form.shown.size(), 1u);
    EXPECT_EQ(form.shown[0].saveName, "Old Name");
    EXPECT_EQ(form.shown[0].description, "Old Name");
    EXPECT_EQ(form.shown[0].sizeText, "1.50");
    EXPECT_EQ(form.shown[0].titleId, "12345");
    EXPECT_EQ(form.shown[0].dateText.size(), 10u) << form.shown[0].dateText;

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RawHttpServer::Request& request = requests[0];
    EXPECT_EQ(request.head.substr(0, request.head.find("\r\n")),
              "POST /up.asp?title_id=12345&save_name=A+B&save_description=x%26y%0D%0Aline+two"
              "&uncompressed_size=4096 HTTP/1.1");
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(request.Header("Content-Type"),
              "multipart/form-data, boundary=-----------------------------7d4128309d02ac");

    // The body's framing and its renamed, resealed copy are the reference
    // server's to check (see the job's test below); the user's file is untouched.
    EXPECT_EQ(test::ReadBytes(dir / "drive" / "old.tvd"), original);
    EXPECT_TRUE(fsys::is_empty(dir / "Temp")) << "the temporary copy stays behind";

    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveUpload, OnlyAWholeResultLineOfOneCountsAndAnUnchangedNameSendsTheUsersFile)
{
    struct Case
    {
        std::string answer;
        bool succeeds;
    };
    const Case cases[] = {
        {"Result=1", true},
        {"<html>\r\nresult=1\r\n</html>", true},
        {"\nRESULT=1\n", true},
        {"Result=0\r\nReason=the save's checksum is wrong\r\n", false},
        {"Result=10\r\n", false},
        {" Result=1\r\n", false},
        {"", false},
    };
    const Bytes save = test::MakeSave("Same", 200);
    const std::string path = PutSave("same.tvd", save);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        RawHttpServer server([&](int fd, const RawHttpServer::Request&, RawHttpServer&) {
            RawHttpServer::WriteAll(fd, RawHttpServer::Answer(c.answer));
        });
        form.name = "Same"; // typed over with the same text: no renaming
        EXPECT_EQ(Upload(path, server.Url("/u?"), "Same", "same.tvd"), c.succeeds);
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_NE(server.Requests()[0].body.find(Text(save)), std::string::npos);
        EXPECT_TRUE(fsys::is_empty(dir / "Temp"));
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveUpload, FailuresEndWithinBoundsWithTheirMessageAndNoStrayCopy)
{
    RawHttpServer refusing([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer("Result=0\r\nReason=no\r\n"));
    });
    RawHttpServer silent(
        [](int, const RawHttpServer::Request&, RawHttpServer& self) { self.WaitForShutdown(); });
    const int closedPort = test::FreeLoopbackPort();
    const std::string path = PutSave("s.tvd", test::MakeSave("Save"));
    const Bytes empty;
    const std::string emptyPath = PutSave("empty.tvd", empty);

    struct Case
    {
        const char* what;
        std::string path;
        std::string url;
        std::optional<std::string> newName;
        int formResult;
        bool result;
        Strings messages;
        std::size_t formsShown;
    };
    const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(closedPort) + "/u?";
    const Strings failed{kInternetFailed};
    const auto none = std::nullopt;
    const Case cases[] = {
        {"cancelled", path, refusing.Url("/u?"), "New", 2, false, {}, 1},
        {"refused with a rename", path, refusing.Url("/u?"), "New", 1, false, {}, 1},
        {"no file", path + "x", refusing.Url("/u?"), none, 1, false, {}, 0},
        {"empty address", path, "", none, 1, true, failed, 1},
        {"connection refused", path, refusedUrl, none, 1, true, failed, 1},
        {"never answered", path, silent.Url("/u?"), none, 1, true, failed, 1},
        // An empty copy leaves nothing to send.
        {"empty file renamed", emptyPath, refusing.Url("/u?"), "New", 1, false, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.Clear();
        form.shown.clear();
        form.result = c.formResult;
        form.name = c.newName;
        EXPECT_EQ(Upload(c.path, c.url, "Save"), c.result); // the watchdog bounds the wait
        EXPECT_EQ(boxes.Texts(), c.messages);
        EXPECT_EQ(form.shown.size(), c.formsShown);
        if (c.path == emptyPath) {
            EXPECT_EQ(form.shown.at(0).sizeText, "0.00");
        }
        EXPECT_TRUE(fsys::is_empty(dir / "Temp"));
    }
    // Only the refused upload reached the server; nothing was sent after a
    // cancel or for an abandoned empty copy.
    EXPECT_EQ(refusing.Requests().size(), 1u);

    // A request that cannot be formed (its header refused) is no internet
    // failure: nothing is sent, and the upload is reported as failed.
    struct RefusingHeaders final : SaveUploader
    {
        using SaveUploader::SaveUploader;
        bool AddRequestHeader(net::HttpFile&, const std::string&) override { return false; }
    } refusingHeaders(form.Runner());
    boxes.Clear();
    form.result = 1;
    form.name.reset();
    EXPECT_FALSE(refusingHeaders.UploadSave(path, "s.tvd", refusing.Url("/u?"), "Save", "Save"));
    EXPECT_EQ(boxes.Texts(), Strings{});
    EXPECT_EQ(refusing.Requests().size(), 1u);

    // Without a temporary folder the renamed copy cannot be made: the user's
    // file is not sent under its old name instead.
    fsys::remove(dir / "Temp");
    boxes.Clear();
    form.result = 1;
    form.name = "Renamed";
    EXPECT_FALSE(Upload(path, refusing.Url("/u?"), "Save"));
    EXPECT_EQ(boxes.Texts(), Strings{kTempCopyFailed});
    EXPECT_EQ(refusing.Requests().size(), 1u);
}

// The whole job against the reference server: the save lands in "Online
// Community" under the name typed in the form, checked by the server, and
// a save the server refuses gets the job's message.
TEST_F(SaveUpload, JobPublishesARenamedSaveInTheCommunityAndReportsARefusedOne)
{
    const test::TempDir root;
    test::ServerProcess server(root.Path());
    const std::string previousPage = TheServerSettings().GetPageAddress();
    TheServerSettings().SetPageAddress(server.Url("/tolvar_settings.asp"));
    TheServerSettings().Clear();
    ASSERT_TRUE(LoadServerSettings());

    const Bytes original = test::MakeSave("Ghost Lap", 2048, "GL150", 70000);
    const std::string path = PutSave("ghost.tvd", original);
    form.name = "Ghost Lap Gold";
    form.description = "All tracks, all cars";
    {
        UploadJob job(&mainWindow, form.Runner());
        std::string copyOfPath = path;
        ASSERT_TRUE(job.Start(copyOfPath, "ghost.tvd"));
        copyOfPath.assign(300, 'x'); // the caller's texts may change at once
        job.Wait();
    }
    ASSERT_EQ(form.shown.size(), 1u);
    EXPECT_EQ(form.shown[0].saveName, "Ghost Lap"); // read from the file
    EXPECT_EQ(boxes.Texts(), Strings{});
    EXPECT_EQ(mainWindow.Messages(), (Strings{"tree 1 0", "start 0 1", "stop 0 1", "start 0 1",
                                              "refresh 0 0", "stop 0 1", "tree 0 0"}));
    const fsys::path stored = root.Path() / "Online Community" / "Ghost Lap Gold.tvd";
    ASSERT_TRUE(fsys::exists(stored));
    Bytes published = test::ReadBytes(stored);
    SaveHeaderFields fields;
    ASSERT_TRUE(ReadSaveHeaderFields(published.data(), published.size(), fields));
    EXPECT_EQ(fields.saveName, "Ghost Lap Gold");
    EXPECT_TRUE(IsValidSaveBuffer(published.data(), published.size()));
    EXPECT_EQ(test::ReadBytes(dir / "drive" / "ghost.tvd"), original);

    // A save whose seal is broken is refused by the server.
    Bytes broken = test::MakeSave("Broken");
    broken[200] ^= 0xFF;
    form.name.reset();
    form.description.reset();
    const std::atomic<bool> notCancelled{false};
    UploadJob::Run(PutSave("broken.tvd", broken), "broken.tvd", "Broken", &mainWindow,
                   form.Runner(), notCancelled);
    EXPECT_EQ(boxes.Texts(), Strings{kNotComplete});
    EXPECT_FALSE(fsys::exists(root.Path() / "Online Community" / "Broken.tvd"));
    EXPECT_TRUE(fsys::is_empty(dir / "Temp"));

    TheServerSettings().SetPageAddress(previousPage);
    TheServerSettings().Clear();
}

} // namespace
} // namespace tolvar
