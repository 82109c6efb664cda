#include "server/DatabaseServer.h"
#include "platform/base/TextCompare.h"
#include "platform/net/InternetSession.h"
#include "saveformat/SaveFormat.h"
#include "server/SampleDatabase.h"
#include "tests/net/Nginx.h"
#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Nginx;
using test::ServerProcess;

const std::string kBoundary = "-----------------------------7d4128309d02ac";

std::string Get(const std::string& url, int* status = nullptr)
{
    net::InternetSession session;
    auto file = session.OpenUrl(url);
    if (status != nullptr) {
        *status = file->GetStatusCode();
    }
    std::string body;
    char block[4096];
    while (std::size_t n = file->Read(block, sizeof(block))) {
        body.append(block, n);
    }
    return body;
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Between(const std::string& text, const std::string& open, const std::string& close)
{
    const std::size_t a = text.find(open);
    if (a == std::string::npos) {
        return {};
    }
    const std::size_t b = text.find(close, a + open.size());
    return text.substr(a + open.size(), b - a - open.size());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Post(int port, const std::string& query, const std::string& body)
{
    net::InternetSession session;
    auto request = session.GetHttpConnection("127.0.0.1", port)
                       ->OpenRequest("POST", "/tolvar_upload.asp?" + query);
    request->AddRequestHeaders("Content-Type: multipart/form-data, boundary=" + kBoundary);
    request->SendRequestEx(body.size());
    request->Write(body.data(), body.size());
    request->EndRequest();
    std::string answer;
    for (std::string line; request->ReadString(line);) {
        answer += line + "\n";
    }
    return answer;
}

// The upload exactly as the companion writes it.
std::string Upload(int port, const std::string& query, const std::string& fileBytes)
{
    return Post(port, query,
                kBoundary +
                    "\r\nContent-Disposition: form-data; filename=save.tvd\r\nContent-Type: "
                    "binary\r\n\r\n" +
                    fileBytes + "\r\n" + kBoundary + "--\r\n");
}

class Server : public ::testing::Test
{
protected:
    Server()
    {
        fs::create_directories(dir.Path() / "Role Playing" / "Deep");
        fs::create_directories(dir.Path() / "Empty");
        for (const auto& [name, bytes] : std::initializer_list<std::pair<const char*, std::string>>{
                 {"Quest Ep.1.tvd", save},
                 {"Quest Ep.1.txt", "Level 99. <b>&100%"},
                 {"Gone.txt", "withdrawn"},
                 {"Say \"hi\".tvd", save},
                 {".hidden.tvd", save},
                 {"notes.doc", "x"}}) {
            Write(dir.Path() / "Role Playing" / name, bytes);
        }
        Write(dir.Path() / "codelist.bin", std::string("TVCODES1\0\0\0\0\x2A\0\0\0", 16));
        Write(outside.Path() / "secret.tvd", "secret");
        Write(outside.Path() / "secret.txt", "secret");
        fs::create_directory_symlink(outside.Path(), dir.Path() / "Role Playing" / "Escape");
        // A description that leads out, a folder that leads back, a name that is not UTF-8.
        Write(dir.Path() / "Role Playing" / "Leak.tvd", save);
        fs::create_symlink(outside.Path() / "secret.txt", dir.Path() / "Role Playing" / "Leak.txt");
        fs::create_directory_symlink(dir.Path() / "Role Playing",
                                     dir.Path() / "Role Playing" / "Deep" / "Back");
        Write(dir.Path() / "Role Playing" / "Bad\xC0\xAF.tvd", save);
        process = std::make_unique<ServerProcess>(dir.Path());
    }

    std::string Url(const std::string& target) const { return process->Url(target); }

    test::TempDir dir;
    test::TempDir outside;
    const std::string save = server::MakeSyntheticSave("Quest", "QS001", 500, 7);
    std::unique_ptr<ServerProcess> process;
};

// The settings page names the addresses the server is configured with; the
// home page shows the database and links each save.
TEST_F(Server, ServesTheSettingsTheCodeListAndTheHomePage)
{
    const std::string port = std::to_string(process->Port());
    const std::string settings = Get(Url("/tolvar_settings.asp"));
    const std::string base = "http://127.0.0.1:" + port;
    EXPECT_EQ(settings, "SAVES_URL=" + base + "/tolvar_list.asp?folder=\r\nUPLOAD_URL=" + base +
                            "/tolvar_upload.asp?\r\nCODELIST_URL=" + base + "/codelist.bin\r\n");
    // The addresses come from the server's settings, never from the Host a
    // client wrote; a name that is not loopback is turned away.
    EXPECT_EQ(Get("http://localhost:" + port + "/tolvar_settings.asp"), settings);
    const std::string rebound = test::RawExchange(
        process->Port(),
        "GET /tolvar_settings.asp HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n");
    EXPECT_EQ(rebound.rfind("HTTP/1.1 403", 0), 0u) << rebound;
    EXPECT_EQ(rebound.find("SAVES_URL"), std::string::npos) << rebound;
    EXPECT_EQ(Get(Url("/codelist.bin")), Read(dir.Path() / "codelist.bin"));

    // The home page: every folder with its count; a folder's own page: its
    // saves, linked, with what a user wrote escaped.
    const std::string home = Get(Url("/"));
    for (const char* shown :
         {">Role Playing</a></td><td class=\"count\">4<", ">Deep</a></td><td class=\"count\">0<",
          "href=\"/folder.html?folder=Role%20Playing&amp;page=1\""}) {
        EXPECT_NE(home.find(shown), std::string::npos) << shown << home;
    }
    const std::string page = Get(Url("/folder.html?folder=Role%20Playing&page=1"));
    for (const char* shown :
         {"<h2>Role Playing</h2>", "Level 99. b100", ">0.58 KB<", ">no file<", "Say &quot;hi&quot;",
          "href=\"/saves/Role+Playing/Quest+Ep%2E1%2Etvd\" download=\"Quest "
          "Ep.1.tvd\""}) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown << page;
    }
    for (const std::string& shown : {home, page, Get(Url("/search?q=a"))}) {
        for (const char* hidden : {"secret", "Escape", "Back", "hidden", "Say \"hi\""}) {
            EXPECT_EQ(shown.find(hidden), std::string::npos) << hidden;
        }
    }
    // Search by name, description or title id; the query is shown escaped.
    EXPECT_NE(Get(Url("/search?q=qs001")).find(">Quest Ep.1</a>"), std::string::npos);
    EXPECT_NE(Get(Url("/search?q=withdrawn")).find("<td class=\"name\">Gone</td>"),
              std::string::npos);
    const std::string injected = Get(Url("/search?q=%3Cscript%3E"));
    EXPECT_NE(injected.find("0 saves found for &quot;&lt;script&gt;&quot;"), std::string::npos);
    EXPECT_EQ(injected.find("<script>"), std::string::npos);
}

TEST_F(Server, ListsFoldersAndSavesAndAnswersEmptyFoldersWithTheEmptyList)
{
    const std::string rootList = Get(Url("/tolvar_list.asp?folder=&random=5"));
    EXPECT_NE(rootList.find("<name>Role+Playing</name>"), std::string::npos);
    EXPECT_NE(rootList.find("<name>Empty</name>"), std::string::npos);
    EXPECT_EQ(rootList.find("codelist"), std::string::npos);
    EXPECT_LT(rootList.find("Empty"), rootList.find("Role+Playing"));

    EXPECT_EQ(Get(Url("/tolvar_list.asp?folder=Empty&random=1")), "<result></result>");

    const std::string folderUrl = Between(rootList, "<url>", "</url>");
    ASSERT_NE(folderUrl.find('?'), std::string::npos) << "so that &random= can follow";
    EXPECT_EQ(Get(folderUrl + "&random=2"), "<result></result>");

    const std::string list = Get(Url("/tolvar_list.asp?folder=Role%20Playing&random=3"));
    for (const char* shown :
         {"<name>Quest+Ep%2E1</name>", "<description>Level+99%2E+b100</description>",
          "<name>Gone</name>", "<name>Deep</name>"}) {
        EXPECT_NE(list.find(shown), std::string::npos) << shown << " in " << list;
    }
    // Not hidden files, other files, links out of the root; and every closing
    // tag has text before it, for readers that need it.
    for (const char* hidden :
         {"hidden", "notes", "Escape", "secret", "Bad", "></save>", "></folder>"}) {
        EXPECT_EQ(list.find(hidden), std::string::npos) << hidden;
    }
    EXPECT_NE(list.find("<name>Leak</name>\r\n    <description></description>"), std::string::npos)
        << list;
    EXPECT_EQ(Get(Url("/tolvar_list.asp?folder=Role%20Playing/Deep")), "<result></result>")
        << "a folder that leads back is not listed";
    // A description replaced as an editor saves one shows at the next listing.
    Write(dir.Path() / "Role Playing" / "edited.tmp", "Level 100");
    fs::rename(dir.Path() / "Role Playing" / "edited.tmp",
               dir.Path() / "Role Playing" / "Quest Ep.1.txt");
    EXPECT_NE(Get(Url("/tolvar_list.asp?folder=Role%20Playing&random=4"))
                  .find("<description>Level+100</description>"),
              std::string::npos);
    // A save's detail and download, as the client reads them, are the online
    // command's to check (StaticExport below).
    EXPECT_EQ(Get(Url("/saves/Role+Playing/Quest+Ep%2E1%2Etvd")), save);
}

// A first listing reads descriptions without a stat; what it read is later
// taken as the file only when the file shows no change since well before
// the read, so an edit in place during or after it still shows.
TEST(FileStamp, AReadIsConfirmedOnlyByAFileUnchangedSinceWellBeforeIt)
{
    using server::FileStamp;
    const timespec began{1700000000, 500};
    const std::int64_t shift = 42;
    const FileStamp read = FileStamp::OfRead(7, 20, began, shift);
    const FileStamp cut = FileStamp::OfRead(7, -1024, began, shift);
    const auto file = [](ino_t inode, off_t size, time_t changed, time_t modified, mode_t type) {
        struct stat info
        {
        };
        info.st_mode = type | 0644;
        info.st_ino = inode;
        info.st_size = size;
        info.st_ctim.tv_sec = changed;
        info.st_mtim.tv_sec = modified;
        return info;
    };
    const time_t old = began.tv_sec - 3600;
    const struct
    {
        FileStamp stamp;
        struct stat info;
        std::int64_t shiftNow;
        bool confirmed;
        const char* why;
    } cases[] = {
        {read, file(7, 20, old, old, S_IFREG), shift, true, "unchanged for an hour"},
        {read, file(7, 20, began.tv_sec, old, S_IFREG), shift, false, "changed as it was read"},
        {read, file(7, 20, began.tv_sec - 30, old, S_IFREG), shift, false, "changed just before"},
        {read, file(7, 20, began.tv_sec + 90, old, S_IFREG), shift, false, "edited after"},
        {read, file(7, 20, old, began.tv_sec + 90, S_IFREG), shift, false, "modified after"},
        {read, file(7, 21, old, old, S_IFREG), shift, false, "another size"},
        {read, file(8, 20, old, old, S_IFREG), shift, false, "another file"},
        {read, file(7, 20, old, old, S_IFIFO), shift, false, "not a regular file"},
        {read, file(7, 20, old, old, S_IFREG), shift + 5000000000, false, "the clock was set"},
        {read, file(7, 20, old, old, S_IFREG), shift - 5000000000, false, "the clock was set back"},
        {cut, file(7, 5000, old, old, S_IFREG), shift, true, "longer than was read"},
        {cut, file(7, 1024, old, old, S_IFREG), shift, false, "no longer than was read"},
        {FileStamp::Of(file(7, 20, old, old, S_IFREG)), file(7, 20, old, old, S_IFREG), shift,
         false, "a stat's stamp is compared whole"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.stamp.Confirms(c.info, c.shiftNow), c.confirmed) << c.why;
    }
    EXPECT_FALSE(read == FileStamp::Of(file(7, 20, old, old, S_IFREG)));
}

TEST_F(Server, NothingOutsideTheRootIsServed)
{
    for (const char* target : {
             "/tolvar_list.asp?folder=..",
             "/tolvar_list.asp?folder=/etc",
             "/tolvar_list.asp?folder=Empty/..",
             "/tolvar_list.asp?folder=Role%20Playing/Escape",
             "/tolvar_list.asp?folder=Nope",
             "/tolvar_save.asp?save=Role%20Playing/Escape/secret",
             "/tolvar_save.asp?save=../x",
             "/saves/Role+Playing/Escape/secret%2Etvd",
             "/saves/..%2F..%2Fetc%2Fpasswd",
             "/saves/Role+Playing/%2Ehidden%2Etvd",
             "/saves/Role+Playing/Gone%2Etxt",
             "/tolvar_list.asp?folder=Role%20Playing%5C..",
             "/tolvar_list.asp?folder=Role%20Playing/Deep/Back",
         }) {
        int status = 0;
        const std::string body = Get(Url(target), &status);
        EXPECT_EQ(status, 404) << target;
        EXPECT_EQ(body.find("secret"), std::string::npos) << target;
    }
}

TEST_F(Server, UploadsAreCheckedAndStoredInTheCommunityFolder)
{
    const std::string good = server::MakeSyntheticSave("Uploaded", "UP001", 300, 3);
    const std::string query =
        "title_id=UP001&save_name=My+Up%2Eload&save_description=x%26y+%3Cz%3E%0D%0A&"
        "uncompressed_size=900";
    EXPECT_EQ(Upload(process->Port(), query, good), "Result=1\n");
    const fs::path stored = dir.Path() / "Online Community" / "My Up.load.tvd";
    EXPECT_EQ(Read(stored), good);
    EXPECT_EQ(Read(dir.Path() / "Online Community" / "My Up.load.txt"), "xy z");
    // The same name again never replaces the first.
    EXPECT_EQ(Upload(process->Port(), query, good), "Result=1\n");
    EXPECT_TRUE(fs::exists(dir.Path() / "Online Community" / "My Up.load (2).tvd"));
    EXPECT_EQ(Read(stored), good);

    std::string corrupt = good;
    corrupt[200] ^= 1;
    const auto refused = [&](const std::string& answer) {
        return answer.rfind("Result=0\n", 0) == 0 && answer.find("Reason=") != std::string::npos;
    };
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=Bad", corrupt)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=Short", good.substr(0, 40))));
    // A right seal over a name field without its terminator: the client calls it corrupt.
    std::string unterminated = good.substr(0, kSaveHeaderLength);
    std::fill_n(unterminated.begin() + kSaveNameOffset, kSaveNameFieldLength, 'A');
    std::fill_n(unterminated.begin() + kSaveChecksumOffset, 4, '\0');
    const std::uint32_t crc =
        SaveCrc32(reinterpret_cast<const std::uint8_t*>(unterminated.data()), kSaveHeaderLength);
    for (int i = 0; i < 4; ++i) {
        unterminated[kSaveChecksumOffset + i] = static_cast<char>(crc >> (8 * i));
    }
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=Unterminated", unterminated)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=%2E%2E", good)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_description=nameless", good)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=Bell%07", good)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=Esc&save_description=a%1B%5B2J", good)));
    EXPECT_FALSE(fs::exists(dir.Path() / "Online Community" / "Bad.tvd"));

    // A body framed otherwise than the companion frames it.
    EXPECT_TRUE(refused(Post(process->Port(), "save_name=Frame", "not a multipart body")));

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "Online Community")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), 4u) << "two saves and their descriptions, no leftovers";
}

// What an operator bounds: uploads per address, the community folder's size,
// the disk's free space, and uploads posted by pages of other sites. Each is
// refused with a reason the companion shows as its usual failure.
TEST_F(Server, UploadsPastALimitAreRefusedWithAReason)
{
    const std::string good = server::MakeSyntheticSave("Limited", "LM001", 200, 5);
    const std::string body =
        kBoundary +
        "\r\nContent-Disposition: form-data; filename=l.tvd\r\nContent-Type: binary\r\n\r\n" +
        good + "\r\n" + kBoundary + "--\r\n";
    const auto post = [&](int port, const std::string& extra) {
        return test::RawExchange(
            port, "POST /tolvar_upload.asp?save_name=Limited HTTP/1.1\r\nHost: 127.0.0.1:" +
                      std::to_string(port) + "\r\nConnection: close\r\n" + extra +
                      "Content-Type: multipart/form-data, boundary=" + kBoundary +
                      "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    };
    struct Case
    {
        std::vector<std::string> options;
        std::string header; // with the port's place as PORT
        int uploads;        // the last is the one looked at
        std::string status;
        std::string says;
    };
    for (const Case& c : std::initializer_list<Case>{
             {{"--uploads-per-hour", "2"}, "", 3, "429", "Retry-After: 3"},
             {{"--uploads-per-hour", "2"}, "", 2, "200", "Result=1"},
             {{"--quota-mb", "0"}, "", 1, "200", "Reason=the community folder is full"},
             {{"--reserve-mb", "1099511627776"}, "", 1, "200", "Reason=the server is short"},
             {{}, "Origin: http://evil.example\r\n", 1, "403", "Reason=uploads come only"},
             {{}, "Origin: http://127.0.0.1:PORT\r\n", 1, "200", "Result=1"},
         }) {
        test::TempDir root;
        ServerProcess limited(root.Path(), c.options);
        const std::string port = std::to_string(limited.Port());
        std::string answer;
        for (int i = 0; i < c.uploads; ++i) {
            answer = post(limited.Port(), Replaced(c.header, "PORT", port));
        }
        EXPECT_EQ(answer.rfind("HTTP/1.1 " + c.status + " ", 0), 0u) << answer;
        EXPECT_NE(answer.find(c.says), std::string::npos) << answer;
        if (c.status != "200" || c.says != "Result=1") {
            EXPECT_NE(answer.find("\r\n\r\nResult=0\r\nReason="), std::string::npos) << answer;
        }
    }
    // A limit met again and again is logged once a minute for each address,
    // not once a request (behind the proxy, X-Real-IP names the client).
    test::TempDir root;
    test::TempDir logs;
    ServerProcess limited(root.Path(), {"--uploads-per-hour", "1"}, logs.Path() / "stderr");
    for (const char* from : {"10.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.2"}) {
        post(limited.Port(), std::string("X-Real-IP: ") + from + "\r\n");
    }
    const std::string log = Read(logs.Path() / "stderr");
    std::size_t times = 0;
    for (std::size_t at = 0; (at = log.find("too many uploads", at)) != std::string::npos; ++at) {
        ++times;
    }
    EXPECT_EQ(times, 2u) << log;
    for (const char* from : {"10.0.0.1: too many uploads", "10.0.0.2: too many uploads"}) {
        EXPECT_NE(log.find(from), std::string::npos) << log;
    }
}

// An operator takes a save out of the community: it goes into "removed"
// beside the database, leaves the list, and the upload log still says who
// sent it; the export follows when one is named.
TEST(Moderation, ARemovedSaveLeavesTheListAndTheLogKeepsWhoSentIt)
{
    test::TempDir top;
    const fs::path db = top.Path() / "db";
    fs::create_directories(db);
    const std::string bad = server::MakeSyntheticSave("Spam", "SP001", 100, 9);
    ServerProcess process(db);
    ASSERT_EQ(Upload(process.Port(), "save_name=Spam&save_description=buy+now", bad), "Result=1\n");
    const std::string exe = ServerProcess::Executable();
    const test::ProgramResult log = test::RunProgram(exe, {"--root", db, "--list-uploads"});
    EXPECT_EQ(log.status, 0);
    EXPECT_NE(
        log.out.find("\t" + std::to_string(bad.size()) + "\t127.0.0.1\tOnline Community/Spam\n"),
        std::string::npos)
        << log.out;

    const test::TempDir out;
    const test::ProgramResult removed =
        test::RunProgram(exe, {"--root", db, "--remove", "Online Community/Spam", "--export",
                               out.Path(), "--export-url", "http://127.0.0.1:1"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(Read(top.Path() / "removed" / "Online Community" / "Spam.tvd"), bad);
    EXPECT_EQ(Read(top.Path() / "removed" / "Online Community" / "Spam.txt"), "buy now");
    EXPECT_FALSE(fs::exists(db / "Online Community" / "Spam.tvd"));
    EXPECT_EQ(Get(process.Url("/tolvar_list.asp?folder=Online%20Community")), "<result></result>");
    EXPECT_EQ(Read(out.Path() / "lists/Online Community.d/list.xml"), "<result></result>");
    EXPECT_EQ(test::RunProgram(exe, {"--root", db, "--remove", "Online Community/Spam"}).status, 1);
    EXPECT_EQ(test::RunProgram(exe, {"--root", db, "--list-uploads"}).out, log.out);
}

TEST(Program, HelpVersionAndUnknownOptions)
{
    struct Case
    {
        const char* option;
        int status;
        const char* out; // its start; the rest on stderr when empty
    };
    for (const Case& c : {Case{"--help", 0, "usage: tolvar-server"},
                          Case{"--version", 0, "tolvar-server "}, Case{"--bogus", 2, ""}}) {
        const test::ProgramResult run = test::RunProgram(ServerProcess::Executable(), {c.option});
        EXPECT_EQ(run.status, c.status) << c.option;
        EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << c.option << run.out;
        EXPECT_EQ(run.err.rfind("usage: tolvar-server", 0) == 0, c.status == 2) << c.option;
    }
}

std::string Gunzip(const std::string& packed)
{
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    std::string out(16 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return result == Z_STREAM_END ? out : "not gzip";
}

// A big folder's list is built by several threads and kept gzipped: each
// save still has its own description, and the client unpacks it whole.
TEST_F(Server, GzipsXmlDocumentsForClientsThatAcceptItAndNothingElse)
{
    // Names that differ only late or only in case, every other one with
    // its save's file; each description names its save.
    constexpr int kBig = 2000; // a list of some 300 KB
    fs::create_directory(dir.Path() / "Big");
    for (int i = 0; i < kBig; ++i) {
        const std::string name = i % 4 < 2 ? "Save " + std::to_string(i)
                                 : i % 4 == 2
                                     ? "A long name shared by many saves " + std::to_string(i)
                                     : "a LONG name shared by many saves " + std::to_string(i - 1);
        if (i % 2 == 0) {
            Write(dir.Path() / "Big" / (name + ".tvd"), "x");
        }
        Write(dir.Path() / "Big" / (name + ".txt"), "About " + name);
    }
    fs::create_symlink(dir.Path() / "Big" / "Save 5.txt", dir.Path() / "Big" / "Linked.txt");
    const std::string bigList = Get(Url("/tolvar_list.asp?folder=Big"));
    std::vector<std::string> names;
    int described = 0;
    for (std::size_t at = 0; (at = bigList.find("<name>", at)) != std::string::npos; ++at) {
        const std::string entry = bigList.substr(at, 300);
        names.push_back(Replaced(Between(entry, "<name>", "</name>"), "+", " "));
        described += Between(entry, "<description>", "</description>") ==
                     Replaced("About " + names.back(), " ", "+");
    }
    EXPECT_EQ(described, kBig);
    EXPECT_EQ(names.size(), kBig + 1u) << "each save once, and the link";
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) {
        const int order = CompareNoCase(a, b);
        return order != 0 ? order < 0 : a < b;
    }));
    EXPECT_NE(bigList.find("<name>Linked</name>\r\n    <description>About+Save+5</description>"),
              std::string::npos);

    struct Case
    {
        std::string target;
        std::string acceptEncoding;
        bool gzipped;
    };
    const std::string list = "/tolvar_list.asp?folder=Role%20Playing";
    for (const Case& c : std::initializer_list<Case>{
             {list, "gzip, deflate", true},
             {list, "", false},
             {list, "gzip;q=0", false},
             {"/tolvar_list.asp?folder=Big", "gzip", true},
             {"/tolvar_list.asp?folder=Big", "", false},
             {"/tolvar_save.asp?save=Role%20Playing/Quest%20Ep.1", "br, GZIP", true},
             {"/saves/Role+Playing/Quest+Ep%2E1%2Etvd", "gzip", false},
             {"/codelist.bin", "gzip", false},
         }) {
        std::string request = "GET " + c.target +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(process->Port()) +
                              "\r\nConnection: close\r\n";
        if (!c.acceptEncoding.empty()) {
            request += "Accept-Encoding: " + c.acceptEncoding + "\r\n";
        }
        const std::string answer = test::RawExchange(process->Port(), request + "\r\n");
        const std::size_t split = answer.find("\r\n\r\n");
        ASSERT_NE(split, std::string::npos) << c.target;
        const std::string head = answer.substr(0, split);
        const std::string body = answer.substr(split + 4);
        EXPECT_EQ(head.find("Content-Encoding: gzip") != std::string::npos, c.gzipped)
            << c.target << head;
        EXPECT_EQ(c.gzipped ? Gunzip(body) : body, Get(Url(c.target))) << c.target;
    }
}

TEST_F(Server, UploadsThatDidNotArriveWholeAreRefusedAndNeverStored)
{
    const std::string good = server::MakeSyntheticSave("Cut", "CT001", 300, 3);
    const std::string body =
        kBoundary +
        "\r\nContent-Disposition: form-data; filename=c.tvd\r\nContent-Type: binary\r\n\r\n" +
        good + "\r\n" + kBoundary + "--\r\n";
    const auto head = [](std::size_t length) {
        return "POST /tolvar_upload.asp?save_name=Cut HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
               "close\r\nContent-Type: "
               "multipart/form-data, boundary=" +
               kBoundary + "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    };
    struct Case
    {
        std::string request;
        std::string status;
        std::string reason;
    };
    for (const Case& c : std::initializer_list<Case>{
             // The client stops sending half-way and waits for the answer.
             {head(body.size()) + body.substr(0, body.size() / 2), "HTTP/1.1 400",
              "did not arrive whole"},
             // Announced larger than any save and its framing: not read at all.
             {head(17 * 1024 * 1024 + 1), "HTTP/1.1 413", "too large"},
         }) {
        const std::string answer = test::RawExchange(process->Port(), c.request, true);
        EXPECT_EQ(answer.rfind(c.status, 0), 0u) << answer;
        EXPECT_NE(answer.find("\r\n\r\nResult=0\r\nReason="), std::string::npos) << answer;
        EXPECT_NE(answer.find(c.reason), std::string::npos) << answer;
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "Online Community" / "Cut.tvd"));
    // The whole body, for contrast, is stored.
    EXPECT_NE(
        test::RawExchange(process->Port(), head(body.size()) + body).find("\r\n\r\nResult=1\r\n"),
        std::string::npos);
    EXPECT_TRUE(fs::exists(dir.Path() / "Online Community" / "Cut.tvd"));
}

// The server in this process, with bounds short enough for a test to outlast.
class BoundedServer
{
public:
    explicit BoundedServer(const fs::path& root, std::size_t maxConnections = 0)
        : m_server(Options(root, maxConnections)), m_port(m_server.Bind()),
          m_thread([this] { m_server.Run(); })
    {
    }
    ~BoundedServer()
    {
        m_server.Stop();
        m_thread.join();
    }
    int Port() const { return m_port; }

private:
    static server::ServerOptions Options(const fs::path& root, std::size_t maxConnections)
    {
        server::ServerOptions options;
        options.port = 0;
        options.root = root;
        options.limits.head = std::chrono::seconds(3);
        options.limits.body = std::chrono::seconds(3);
        options.limits.workers = 4;
        options.limits.maxConnections = maxConnections;
        return options;
    }

    server::DatabaseServer m_server;
    int m_port;
    std::thread m_thread;
};

TEST_F(Server, ClientsThatTrickleAreCutAsAWholeWhileOthersAreServed)
{
    BoundedServer bounded(dir.Path());
    // Ten send headers, ten an upload's body, a byte at a time, never done:
    // more of them than the server has workers.
    struct Trickler
    {
        int fd;
        std::string text;
        bool upload;
        std::size_t sent = 0;
    };
    std::vector<Trickler> tricklers;
    for (int i = 0; i < 20; ++i) {
        const bool upload = i % 2 == 1;
        Trickler t{test::ConnectLoopback(bounded.Port()),
                   upload ? std::string(200, 'x')
                          : "GET /tolvar_settings.asp HTTP/1.1\r\nX-Pad: " + std::string(200, 'a'),
                   upload};
        if (upload) {
            test::RawHttpServer::WriteAll(t.fd, "POST /tolvar_upload.asp?save_name=Slow "
                                                "HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                                "multipart/form-data, boundary=" +
                                                    kBoundary + "\r\nContent-Length: 5000\r\n\r\n");
        }
        tricklers.push_back(t);
    }
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        while (!stop) {
            for (Trickler& t : tricklers) {
                if (t.sent < t.text.size()) {
                    test::RawHttpServer::WriteAll(t.fd, t.text.substr(t.sent++, 1));
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    const std::string url = "http://127.0.0.1:" + std::to_string(bounded.Port()) +
                            "/tolvar_list.asp?folder=Role%20Playing";
    for (int c = 0; c < 8; ++c) {
        clients.emplace_back([&] {
            for (int i = 0; i < 5; ++i) {
                answered += Get(url).find("Quest") != std::string::npos ? 1 : 0;
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 40);
    // Served while every trickler was still being waited for, not after.
    for (const Trickler& t : tricklers) {
        pollfd p{t.fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 0), 0) << "a trickler was cut before the others were served";
    }
    // Each is cut once its request has taken longer than its bound, although
    // a byte keeps arriving well within any per-read timeout.
    for (const Trickler& t : tricklers) {
        const std::string answer = test::ReadToClose(t.fd);
        if (t.upload) {
            EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << answer;
            EXPECT_NE(answer.find("Result=0\r\nReason="), std::string::npos) << answer;
        } else {
            EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
        }
    }
    stop = true;
    trickle.join();
    for (const Trickler& t : tricklers) {
        close(t.fd);
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "Online Community" / "Slow.tvd"));
}

// With every connection taken, the one idle longest makes room for a new
// client; with none idle, the new one is turned away, not left hanging.
TEST_F(Server, AFullServerClosesItsOldestIdleConnectionForANewClient)
{
    BoundedServer bounded(dir.Path(), 3);
    const std::string request = "GET /tolvar_settings.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::vector<int> idle;
    for (int i = 0; i < 3; ++i) {
        idle.push_back(test::ConnectLoopback(bounded.Port()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // an order of age
    }
    const int fresh = test::ConnectLoopback(bounded.Port());
    test::RawHttpServer::WriteAll(fresh,
                                  Replaced(request, "\r\n\r\n", "\r\nConnection: close\r\n\r\n"));
    char byte = 0;
    EXPECT_EQ(recv(fresh, &byte, 1, 0), 1) << "the new client is served";
    EXPECT_EQ(recv(idle[0], &byte, 1, 0), 0) << "the oldest idle one was closed";
    pollfd p{idle[1], POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 100), 0) << "the others stay";

    // Now none is idle: three are in the middle of a request.
    EXPECT_NE(test::ReadToClose(fresh), "");
    idle.push_back(test::ConnectLoopback(bounded.Port()));
    for (int fd : {idle[1], idle[2], idle[3]}) {
        test::RawHttpServer::WriteAll(fd, "GET / HTTP/1.1\r\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int turnedAway = test::ConnectLoopback(bounded.Port());
    test::RawHttpServer::WriteAll(turnedAway, request);
    EXPECT_EQ(test::ReadToClose(turnedAway), "");
    for (int fd : {idle[0], idle[1], idle[2], idle[3], fresh, turnedAway}) {
        close(fd);
    }
}

// Requests that a strict reader refuses, among them every shape that could be
// read as two requests: each is answered once, with its status, and the
// connection closes; the request pipelined behind it is never answered, and
// other clients are served meanwhile.
TEST_F(Server, MalformedRequestsAreRefusedAndCloseTheirConnection)
{
    BoundedServer bounded(dir.Path());
    const std::string host = "Host: 127.0.0.1\r\n";
    const std::string smuggled = "GET /tolvar_settings.asp HTTP/1.1\r\n" + host + "\r\n";
    struct Case
    {
        std::string request;
        const char* status;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\n" + host + "Content-Length : 4\r\n\r\nabcd", "400"},
        {"POST / HTTP/1.1\r\n" + host + "Transfer-Encoding : chunked\r\n\r\n0\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\n" + host + "Content-Length: 0\r\nContent-Length: 4\r\n\r\nabcd",
         "400"},
        {"POST / HTTP/1.1\r\n" + host + "Content-Length:\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\n" + host + "Transfer-Encoding:\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: gzip\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\n" + host + "Content-Length: 4\r\n 0\r\n\r\nabcd", "400"},
        {"POST / HTTP/1.1\r\n" + host + "X-A: 1\nContent-Length: 4\r\n\r\nabcd", "400"},
        {"POST / HTTP/1.1\r\n" + host +
             "Content-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
         "400"},
        {"POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\nzz\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\n" + host + "X-A: a" + std::string(1, '\0') + "b\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nX-A: 1\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\n" + host + host + "\r\n", "400"},
        {"G(T / HTTP/1.1\r\n" + host + "\r\n", "400"},
        {"GET nowhere HTTP/1.1\r\n" + host + "\r\n", "400"},
        {"GET / HTTP/2.0\r\n" + host + "\r\n", "400"},
        {"GET / HTTP/1.1\n" + host + "\r\n", "400"},
        {"GET / HTTP/1.1\r\n" + host + "X-Pad: " + std::string(17 * 1024, 'a') + "\r\n\r\n", "431"},
        {"GET / HTTP/1.1\r\n" + host + "Content-Length: 99999999\r\n\r\n", "413"},
        {"POST /tolvar_upload.asp HTTP/1.1\r\n" + host +
             "Transfer-Encoding: chunked\r\n\r\n1100001\r\n" + std::string(64 * 1024, 'x'),
         "413"},
        // Begun and never finished: the whole request has a deadline.
        {"GET / HTTP/1.1\r\n" + host, "408"},
    };
    std::atomic<bool> done{false};
    std::atomic<int> served{0};
    std::thread other([&] {
        const std::string url =
            "http://127.0.0.1:" + std::to_string(bounded.Port()) + "/tolvar_settings.asp";
        while (!done) {
            served += Get(url).rfind("SAVES_URL=", 0) == 0 ? 1 : -1000;
        }
    });
    for (const Case& c : cases) {
        const bool unfinished = std::string(c.status) == "408";
        const std::string answer =
            test::RawExchange(bounded.Port(), c.request + (unfinished ? "" : smuggled));
        EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + c.status + " ", 0), 0u)
            << c.request << "\n"
            << answer;
        EXPECT_EQ(answer.find("Connection: close\r\n"), answer.find("\r\nConnection:") + 2)
            << answer;
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << c.request << "\n" << answer;
    }
    done = true;
    other.join();
    EXPECT_GT(served.load(), 0);
}

// tolvar-cli prints the live server's database as the Online Tree shows it,
// and the same from the export served by nginx, before and after an upload.
TEST(StaticExport, TheOnlineCommandReadsItAsTheLiveServerAndFollowsUploads)
{
    test::TempDir db;
    test::TempDir out;
    fs::create_directories(db.Path() / "Role Playing" / "Deep");
    fs::create_directories(db.Path() / "Empty");
    fs::create_directories(db.Path() / "Online Community");
    // A folder and a save of one name, and a folder that looks like a list.
    fs::create_directories(db.Path() / "Role Playing" / "list.xml");
    const std::string quest = server::MakeSyntheticSave("Quest", "QS001", 500, 7);
    Write(db.Path() / "Role Playing" / "Quest Ep.1.tvd", quest);
    Write(db.Path() / "Role Playing" / "Quest Ep.1.txt", "Level 99");
    Write(db.Path() / "Role Playing" / "Deep.tvd",
          server::MakeSyntheticSave("Deep", "DP001", 90, 1));
    Write(db.Path() / "Role Playing" / "Deep" / "Ünïcode & <co>.tvd",
          server::MakeSyntheticSave("Uni", "UN001", 80, 2));
    Write(db.Path() / "Role Playing" / "list.xml" / "x.tvd",
          server::MakeSyntheticSave("X", "XX001", 70, 3));
    Write(db.Path() / "Role Playing" / "Gone.txt", "withdrawn");
    Write(db.Path() / "codelist.bin", "codes");
    Write(db.Path() / "Online Community" / "Old.tvd", quest);

    const int staticPort = test::FreeLoopbackPort();
    const std::string staticBase = "http://127.0.0.1:" + std::to_string(staticPort);
    server::ServerOptions options;
    options.port = test::FreeLoopbackPort();
    options.root = db.Path();
    const std::string serverBase = "http://127.0.0.1:" + std::to_string(options.port);
    options.exportTo = server::ExportOptions{out.Path(), staticBase + "/", serverBase};
    {
        server::OnlineDatabase database(db.Path());
        std::string error;
        ASSERT_TRUE(server::StaticExport(database, *options.exportTo).WriteAll(error)) << error;
    }
    server::DatabaseServer live(options);
    ASSERT_EQ(live.Bind(), options.port);
    std::thread serving([&] { live.Run(); });

    // An empty folder with its placeholder, a save without file at size 0, a
    // save with its size and url; --trace adds the parse to the errors alone.
    const auto cli = [](const std::vector<std::string>& args) {
        return test::RunProgram(TOLVAR_CLI_EXE, args);
    };
    const test::ProgramResult shown =
        cli({"online", "--settings", serverBase + "/tolvar_settings.asp"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err, "");
    for (const std::string& lines :
         {std::string("Online Database\n  [Empty]\n    < empty >\t0\t\n"),
          std::string("\n    Gone\t0\t\n"),
          "\n    Quest Ep.1\t" + std::to_string(quest.size()) + "\t" + serverBase +
              "/saves/Role+Playing/Quest+Ep%2E1%2Etvd\n"}) {
        EXPECT_NE(shown.out.find(lines), std::string::npos) << shown.out;
    }
    const test::ProgramResult traced =
        cli({"online", "--trace", "--settings", serverBase + "/tolvar_settings.asp"});
    EXPECT_EQ(traced.out, shown.out);
    EXPECT_NE(traced.err.find("Found Node: \nname: folder"), std::string::npos);
    const test::ProgramResult failed =
        cli({"online", "--settings", "http://127.0.0.1:1/tolvar_settings.asp"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    if (Nginx::Executable().empty()) {
        live.Stop();
        serving.join();
        GTEST_SKIP() << "nginx is not installed (Debian package nginx): the export is not tried "
                        "on a static web server";
    }
    Nginx nginx(out.Path(), staticPort);

    const auto online = [&](const std::string& base) {
        const test::ProgramResult run = test::RunProgram(
            TOLVAR_CLI_EXE, {"online", "--settings", base + "/tolvar_settings.asp"});
        EXPECT_EQ(run.status, 0) << run.err << nginx.ErrorLog();
        return Replaced(run.out, base, "BASE");
    };
    const std::string fromStatic = online(staticBase);
    EXPECT_EQ(fromStatic, online(serverBase));
    EXPECT_NE(fromStatic.find("Ünïcode"), std::string::npos) << fromStatic;
    EXPECT_NE(fromStatic.find("[list.xml]"), std::string::npos) << fromStatic;
    EXPECT_EQ(Get(staticBase + "/saves/Role+Playing/Quest+Ep%2E1%2Etvd"), quest);
    EXPECT_EQ(Get(staticBase + "/codelist.bin"), "codes");
    const std::string settings = Get(staticBase + "/tolvar_settings.asp");
    EXPECT_NE(settings.find("UPLOAD_URL=" + serverBase + "/tolvar_upload.asp?\r\n"),
              std::string::npos)
        << settings;
    EXPECT_NE(Get(staticBase + "/pages/Role%2520Playing.d/page-1.html")
                  .find("href=\"" + staticBase + "/saves/Role+Playing/Quest+Ep%2E1%2Etvd\""),
              std::string::npos);
    EXPECT_NE(Get(staticBase + "/search.json").find("\"t\":\"QS001\""), std::string::npos);

    // An upload to the server shows in the export at once, and rewrites only
    // what it changes.
    const auto inode = [&](const std::string& file) {
        struct stat info
        {
        };
        return stat((out.Path() / file).c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto oldSave = inode("saves/Online+Community/Old.tvd");
    const auto oldDetail = inode("lists/Online Community.d/saves/Old.xml");
    ASSERT_NE(oldSave, 0u);
    const std::string fresh = server::MakeSyntheticSave("Fresh", "FR001", 120, 4);
    ASSERT_EQ(Upload(options.port, "save_name=Fresh+One&save_description=new", fresh),
              "Result=1\n");
    const std::string after = online(staticBase);
    EXPECT_EQ(after, online(serverBase));
    EXPECT_NE(after.find("Fresh One\t" + std::to_string(fresh.size())), std::string::npos) << after;
    EXPECT_EQ(Get(staticBase + "/saves/Online+Community/Fresh+One%2Etvd"), fresh);
    EXPECT_EQ(inode("saves/Online+Community/Old.tvd"), oldSave);
    EXPECT_EQ(inode("lists/Online Community.d/saves/Old.xml"), oldDetail);

    live.Stop();
    serving.join();
}

// The deployment as shipped: nginx with the site's locations in front of
// the server on loopback, the companion's online command reading, downloading
// and uploading through it.
TEST(Deployment, TheCompanionReadsDownloadsAndUploadsThroughTheNginxSite)
{
    if (Nginx::Executable().empty()) {
        GTEST_SKIP() << "nginx is not installed (Debian package nginx)";
    }
    test::TempDir top;
    const fs::path db = top.Path() / "db";
    const fs::path out = top.Path() / "export";
    fs::create_directories(db / "Role Playing");
    const std::string quest = server::MakeSyntheticSave("Quest", "QS001", 5000, 7);
    Write(db / "Role Playing" / "Quest.tvd", quest);
    Write(db / "Role Playing" / "Quest.txt", "Level 99");
    const int sitePort = test::FreeLoopbackPort();
    const std::string base = "http://127.0.0.1:" + std::to_string(sitePort);
    ServerProcess server(
        db, {"--public-url", base, "--export", out.string(), "--export-url", base, "--serve"});
    Nginx nginx("  types { text/xml xml; text/html html; text/javascript js; }\n"
                "  upstream tolvar_server { server 127.0.0.1:" +
                    std::to_string(server.Port()) +
                    "; }\n"
                    "  server {\n    listen 127.0.0.1:" +
                    std::to_string(sitePort) + ";\n    root \"" + out.string() +
                    "\";\n    include \"" TOLVAR_DEPLOY_DIR
                    "/nginx/tolvar-server-locations.conf\";\n"
                    "  }\n",
                sitePort);
    const auto online = [&] {
        const test::ProgramResult run = test::RunProgram(
            TOLVAR_CLI_EXE, {"online", "--settings", base + "/tolvar_settings.asp"});
        EXPECT_EQ(run.status, 0) << run.err << nginx.ErrorLog();
        return run.out;
    };
    const std::string listed = online();
    EXPECT_NE(listed.find("Quest\t" + std::to_string(quest.size()) + "\t" + base +
                          "/saves/Role+Playing/Quest%2Etvd"),
              std::string::npos)
        << listed;
    EXPECT_EQ(Get(base + "/saves/Role+Playing/Quest%2Etvd"), quest);
    const std::string list = test::RawExchange(
        sitePort, "GET /lists/Role%20Playing.d/list.xml?&random=3 HTTP/1.1\r\nHost: saves\r\n"
                  "Accept-Encoding: gzip\r\nConnection: close\r\n\r\n");
    EXPECT_NE(list.find("Cache-Control: public"), std::string::npos) << list;
    EXPECT_NE(Get(base + "/search?q=level+99").find(">Quest</a>"), std::string::npos);

    const std::string fresh = server::MakeSyntheticSave("Fresh", "FR001", 120, 4);
    ASSERT_EQ(Upload(sitePort, "save_name=Fresh&save_description=new", fresh), "Result=1\n")
        << nginx.ErrorLog();
    EXPECT_NE(online().find("Fresh\t" + std::to_string(fresh.size())), std::string::npos);
    EXPECT_EQ(Get(base + "/saves/Online+Community/Fresh%2Etvd"), fresh);
    EXPECT_NE(test::RunProgram(ServerProcess::Executable(), {"--root", db, "--list-uploads"})
                  .out.find("\t127.0.0.1\tOnline Community/Fresh"),
              std::string::npos);

    // The export's front page searches the export's index in the browser:
    // by name, description and title id, the upload included.
    const char* chromium = "/usr/bin/chromium";
    if (access(chromium, X_OK) != 0) {
        GTEST_SKIP() << "chromium is not installed: the export's search script is not tried";
    }
    for (const auto& [query, hit] :
         {std::pair{"quest", ">Quest</a>"}, std::pair{"level+99", ">Quest</a>"},
          std::pair{"fr001", ">Fresh</a>"}}) {
        const test::ProgramResult page = test::RunProgram(
            "/usr/bin/timeout",
            {"120", chromium, "--headless", "--no-sandbox", "--disable-gpu",
             "--user-data-dir=" + (top.Path() / "browser").string(), "--virtual-time-budget=10000",
             "--dump-dom", base + "/index.html?q=" + query});
        const std::size_t found = page.out.find("1 saves found for");
        ASSERT_NE(found, std::string::npos) << query << "\n" << page.out << page.err;
        EXPECT_NE(page.out.find(hit, found), std::string::npos) << query << "\n" << page.out;
    }
}

} // namespace
} // namespace tolvar
