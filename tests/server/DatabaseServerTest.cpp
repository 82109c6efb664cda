#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"
#include "saveformat/SaveFormat.h"
#include "server/SampleDatabase.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <thread>

namespace tolvar {
namespace {

namespace fs = std::filesystem;
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
                 {".hidden.tvd", save},
                 {"notes.doc", "x"}}) {
            Write(dir.Path() / "Role Playing" / name, bytes);
        }
        Write(dir.Path() / "codelist.bin", std::string("TVCODES1\0\0\0\0\x2A\0\0\0", 16));
        Write(outside.Path() / "secret.tvd", "secret");
        fs::create_directory_symlink(outside.Path(), dir.Path() / "Role Playing" / "Escape");
        process = std::make_unique<ServerProcess>(dir.Path());
    }

    std::string Url(const std::string& target) const { return process->Url(target); }

    test::TempDir dir;
    test::TempDir outside;
    const std::string save = server::MakeSyntheticSave("Quest", "QS001", 500, 7);
    std::unique_ptr<ServerProcess> process;
};

TEST_F(Server, TheSettingsPageNamesTheAddressesOnTheHostTheClientUsed)
{
    const std::string port = std::to_string(process->Port());
    const std::string page = Get(Url("/tolvar_settings.asp"));
    const std::string base = "http://127.0.0.1:" + port;
    EXPECT_EQ(page, "SAVES_URL=" + base + "/tolvar_list.asp?folder=\r\nUPLOAD_URL=" + base +
                        "/tolvar_upload.asp?\r\nCODELIST_URL=" + base + "/codelist.bin\r\n");
    const std::string viaName = Get("http://localhost:" + port + "/tolvar_settings.asp");
    EXPECT_NE(viaName.find("SAVES_URL=http://localhost:" + port + "/tolvar_list.asp?"),
              std::string::npos);
    EXPECT_EQ(Get(Url("/codelist.bin")), Read(dir.Path() / "codelist.bin"));
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
    for (const char* hidden : {"hidden", "notes", "Escape", "></save>", "></folder>"}) {
        EXPECT_EQ(list.find(hidden), std::string::npos) << hidden;
    }
}

TEST_F(Server, DetailsNameTheFileTheClientDownloads)
{
    const std::string list = Get(Url("/tolvar_list.asp?folder=Role%20Playing"));
    const std::size_t at = list.find("<name>Quest+Ep%2E1</name>");
    const std::string detailUrl = Between(list.substr(at), "<url>", "</url>");
    const std::string detail = Get(detailUrl + "&random=9");
    const std::string downloadUrl = Between(detail, "<download_url>", "</download_url>");
    EXPECT_EQ(Between(detail, "<download_size>", "</download_size>"), std::to_string(save.size()));
    EXPECT_EQ(downloadUrl.substr(downloadUrl.rfind('/') + 1), "Quest+Ep%2E1%2Etvd");
    EXPECT_EQ(downloadUrl.find('?'), std::string::npos) << "the file name is the url's last part";
    int status = 0;
    EXPECT_EQ(Get(downloadUrl, &status), save);
    EXPECT_EQ(status, 200);

    const std::string gone = Get(Url("/tolvar_save.asp?save=Role%20Playing/Gone&random=1"));
    EXPECT_EQ(gone.find("<file>"), std::string::npos);
    EXPECT_NE(gone.find("<result>"), std::string::npos);
    EXPECT_NE(gone, "<result></result>") << "that would read as an empty list";
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
        "title_id=UP001&save_name=My+Up%2Eload&save_description=x%26y+%3Cz%3E&"
        "uncompressed_size=900";
    EXPECT_EQ(Upload(process->Port(), query, good), "Result=1\n");
    const fs::path stored = dir.Path() / "Online Community" / "My Up.load.tvd";
    EXPECT_EQ(Read(stored), good);
    EXPECT_EQ(Read(dir.Path() / "Online Community" / "My Up.load.txt"), "xy z");
    const std::string list = Get(Url("/tolvar_list.asp?folder=Online%20Community"));
    EXPECT_NE(list.find("<name>My+Up%2Eload</name>"), std::string::npos);
    EXPECT_NE(list.find("<description>xy+z</description>"), std::string::npos) << list;

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
    EXPECT_TRUE(refused(Upload(process->Port(), "save_name=%2E%2E", good)));
    EXPECT_TRUE(refused(Upload(process->Port(), "save_description=nameless", good)));
    EXPECT_FALSE(fs::exists(dir.Path() / "Online Community" / "Bad.tvd"));

    // A body framed otherwise than the companion frames it.
    EXPECT_TRUE(refused(Post(process->Port(), "save_name=Frame", "not a multipart body")));

    // Larger than a save may be: refused before it is stored.
    std::string huge = server::MakeSyntheticSave("Huge", "HG001", 17 * 1024 * 1024, 1);
    std::string answer;
    try {
        answer = Upload(process->Port(), "save_name=Huge", huge);
    } catch (const net::InternetException&) {
        answer = "connection closed";
    }
    EXPECT_EQ(answer.find("Result=1"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.Path() / "Online Community" / "Huge.tvd"));

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "Online Community")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), 4u) << "two saves and their descriptions, no leftovers";
}

int ConnectRaw(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    return fd;
}

TEST_F(Server, ServesSeveralClientsWhileOneStallsAndBoundsTheStalledOne)
{
    // A client that sends half a request and then nothing.
    const int stalled = ConnectRaw(process->Port());
    const std::string half = "GET /tolvar_settings.asp HTTP/1.1\r\nHost: x";
    ASSERT_EQ(send(stalled, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));

    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < 8; ++c) {
        clients.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                if (Get(Url("/tolvar_list.asp?folder=Role%20Playing")).find("Quest") !=
                    std::string::npos) {
                    ++answered;
                }
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 160);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));

    // The stalled request is dropped after the server's read bound.
    timeval wait{15, 0};
    setsockopt(stalled, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    char buffer[256];
    const auto before = std::chrono::steady_clock::now();
    const ssize_t n = recv(stalled, buffer, sizeof(buffer), 0);
    const std::string answer = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
    EXPECT_TRUE(n <= 0 || answer.rfind("HTTP/1.1 4", 0) == 0) << answer;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    close(stalled);
}

TEST(SampleDatabase, HoldsSealedSavesInSeveralFoldersACodeListAndASaveWithoutFile)
{
    test::TempDir dir;
    const fs::path root = dir.Path() / "db";
    const test::ProgramResult made =
        test::RunProgram(ServerProcess::Executable(), {"--make-sample", root.string()});
    ASSERT_EQ(made.status, 0) << made.err;
    int saves = 0, spacedAndDotted = 0, withoutFile = 0, emptyFolders = 0, folders = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::path& path = entry.path();
        if (entry.is_directory()) {
            ++folders;
            emptyFolders += fs::is_empty(path) ? 1 : 0;
        } else if (path.extension() == ".tvd") {
            ++saves;
            std::string bytes = Read(path);
            ASSERT_GE(bytes.size(), kSaveHeaderLength);
            EXPECT_TRUE(VerifySaveBuffer(reinterpret_cast<std::uint8_t*>(bytes.data()),
                                         static_cast<std::uint32_t>(bytes.size())))
                << path;
            const std::string stem = path.stem().string();
            spacedAndDotted +=
                stem.find(' ') != std::string::npos && stem.find('.') != std::string::npos;
        } else if (path.extension() == ".txt") {
            withoutFile += fs::exists(fs::path(path).replace_extension(".tvd")) ? 0 : 1;
        }
    }
    EXPECT_GE(saves, 12);
    EXPECT_GE(spacedAndDotted, 6);
    EXPECT_EQ(withoutFile, 1);
    EXPECT_GE(folders, 4);
    EXPECT_GE(emptyFolders, 1);
    EXPECT_TRUE(fs::is_directory(root / "Online Community"));
    const std::string codeList = Read(root / "codelist.bin");
    ASSERT_GE(codeList.size(), 16u);
    EXPECT_GT(static_cast<unsigned char>(codeList[12]), 0);
}

} // namespace
} // namespace tolvar
