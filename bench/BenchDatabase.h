#pragma once

#include "bench/BenchSaves.h"

#include <memory>
#include <string>
#include <thread>

namespace tolvar::server {
class DatabaseServer;
}

namespace tolvar::bench {

// tolvar-server's database in this process, on a free loopback port, over a
// root of one folder, "Big Folder", of saves of 256 bytes, each with a
// description; delayMs is added before every answer.
class ServedDatabase
{
public:
    explicit ServedDatabase(int saves, int delayMs = 0);
    ~ServedDatabase();
    ServedDatabase(const ServedDatabase&) = delete;
    ServedDatabase& operator=(const ServedDatabase&) = delete;

    int Saves() const { return m_saves; }
    // A new server over the same root on a new port, as after a restart.
    void Restart();
    // The folder's list document, as the root list names it.
    const std::string& ListUrl() const { return m_listUrl; }
    std::string SettingsUrl() const;
    std::string Root() const { return m_root.Path(); }

private:
    void Start();

    int m_saves;
    int m_delayMs;
    TempFolder m_root;
    std::unique_ptr<server::DatabaseServer> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::string m_listUrl;
};

} // namespace tolvar::bench
