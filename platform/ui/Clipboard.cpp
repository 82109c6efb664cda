#include "platform/ui/Clipboard.h"

#include "platform/ui/Backend.h"
#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

namespace tolvar::ui {
namespace {

std::mutex g_mutex;
std::map<std::string, unsigned> g_ids; // by lower-case name
std::vector<std::string> g_names;      // by id - 0xC000, as first registered

constexpr unsigned kFirstId = 0xC000;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

unsigned RegisterClipboardFormat(const std::string& name)
{
    if (name.empty()) {
        return 0;
    }
    std::lock_guard lock(g_mutex);
    std::string key = Lower(name);
    if (auto it = g_ids.find(key); it != g_ids.end()) {
        return it->second;
    }
    if (g_names.size() >= 0x3FFF) {
        return 0;
    }
    unsigned id = kFirstId + static_cast<unsigned>(g_names.size());
    g_names.push_back(name);
    g_ids.emplace(key, id);
    return id;
}

void SetSelectionText(Selection which, const std::string& utf8)
{
    if (WindowSystem* system = WindowSystem::Instance()) {
        system->GetBackend().SetSelectionText(which, utf8);
    }
}

void RequestSelectionText(Selection which, SelectionCallback done)
{
    if (WindowSystem* system = WindowSystem::Instance()) {
        system->GetBackend().RequestSelectionText(which, std::move(done));
    }
}

std::string GetClipboardFormatName(unsigned id)
{
    std::lock_guard lock(g_mutex);
    if (id < kFirstId || id - kFirstId >= g_names.size()) {
        return {};
    }
    return g_names[id - kFirstId];
}

} // namespace tolvar::ui
