#include "bench/BenchDatabase.h"

#include "server/DatabaseServer.h"
#include "server/SampleDatabase.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace tolvar::bench {

ServedDatabase::ServedDatabase(int saves, int delayMs) : m_saves(saves), m_delayMs(delayMs)
{
    const std::filesystem::path folder = std::filesystem::path(m_root.Path()) / "Big Folder";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < saves; ++i) {
        const std::string name = "Save " + std::to_string(i) + " v1.0";
        std::ofstream(folder / (name + ".tvd"), std::ios::binary)
            << server::MakeSyntheticSave(name, "BN001", 256, static_cast<std::uint32_t>(i));
        std::ofstream(folder / (name + ".txt")) << "A description of save " << i;
    }
    sync();
    Start();
}

void ServedDatabase::Start()
{
    server::ServerOptions options;
    options.port = 0;
    options.root = m_root.Path();
    options.limits.delay = std::chrono::milliseconds(m_delayMs);
    m_server = std::make_unique<server::DatabaseServer>(options);
    m_port = m_server->Bind();
    m_thread = std::thread([this] { m_server->Run(); });
    m_listUrl =
        "http://127.0.0.1:" + std::to_string(m_port) + "/tolvar_list.asp?folder=Big%20Folder";
}

void ServedDatabase::Restart()
{
    m_server->Stop();
    m_thread.join();
    Start();
}

ServedDatabase::~ServedDatabase()
{
    m_server->Stop();
    m_thread.join();
}

std::string ServedDatabase::SettingsUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/tolvar_settings.asp";
}

} // namespace tolvar::bench
