// tolvar-cli online [--settings URL] [--trace]: reads the settings page, then
// the whole online database through the same list job the Online Tree uses,
// folder by folder, depth first, and prints the tree it would show.
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineSave.h"
#include "online/OnlineTreeView.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageTarget.h"
#include "platform/base/QueuedUiInvoker.h"
#include "tools/CliCommand.h"

#include <cstdio>
#include <iostream>
#include <set>
#include <string>

namespace tolvar::cli {
namespace {

// The tree's part is played by the printout; nothing to show meanwhile.
class SilentTreeView final : public OnlineTreeView
{
public:
    void AddFolderItem(OnlineFolder*, OnlineFolder*) override {}
    void AddSaveItem(OnlineSave*, OnlineFolder*) override {}
    void SetRedraw(bool) override {}
    void EnableWindow(bool) override {}
    void RedrawWindow() override {}
    void UpdateScrollBar() override {}
};

class SilentMainWindow final : public MessageTarget
{
public:
    LResult SendAppMessage(unsigned, WParam, LParam) override { return 0; }
};

// Past this depth folders are listed but not opened: a database may link a
// folder back to itself under ever new addresses.
constexpr int kMaxDepth = 32;

// Every folder is listed; a folder whose address was already read is not
// read again, so a database that links back to itself still has an end.
void FetchFolders(OnlineListJob& listJob, QueuedUiInvoker& ui, OnlineFolder& folder, int depth,
                  std::set<std::string>& visited)
{
    if (depth >= kMaxDepth) {
        return;
    }
    for (auto& child : folder.m_children) {
        if (child->m_kind != kOnlineKindFolder) {
            continue;
        }
        auto& sub = static_cast<OnlineFolder&>(*child);
        const std::string url = sub.m_url.value_or("");
        if (!sub.m_children.empty() || !visited.insert(url).second) {
            continue;
        }
        listJob.Fetch(url, &sub);
        ui.PumpWhile([&] { return listJob.IsRunning(); });
        listJob.WaitForJob();
        FetchFolders(listJob, ui, sub, depth + 1, visited);
    }
}

void Print(const OnlineFolder& folder, int depth)
{
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (const auto& child : folder.m_children) {
        if (child->m_kind == kOnlineKindFolder) {
            std::printf("%s[%s]\n", indent.c_str(), child->m_name.c_str());
            Print(static_cast<const OnlineFolder&>(*child), depth + 1);
        } else if (child->m_kind == kOnlineKindSave) {
            const auto& save = static_cast<const OnlineSave&>(*child);
            const int size = save.m_file ? save.m_file->m_downloadSize : 0;
            const std::string url = save.m_file ? save.m_file->m_url.value_or("") : "";
            std::printf("%s%s\t%d\t%s\n", indent.c_str(), save.m_name.c_str(), size, url.c_str());
        }
    }
}

int RunOnline(const std::vector<std::string>& args)
{
    bool trace = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--trace") {
            trace = true;
        } else if (args[i] == "--settings" && i + 1 < args.size()) {
            TheServerSettings().SetPageAddress(args[++i]);
        } else {
            std::fprintf(stderr, "usage: tolvar-cli online [--settings URL] [--trace]\n");
            return 2;
        }
    }
    if (!LoadServerSettings()) {
        std::fprintf(stderr, "tolvar-cli: cannot read the settings page %s\n",
                     TheServerSettings().GetPageAddress().c_str());
        return 1;
    }
    QueuedUiInvoker ui;
    SilentTreeView view;
    SilentMainWindow mainWindow;
    OnlineListJob listJob(&view, &mainWindow);
    listJob.SetTraceStream(trace ? &std::cerr : nullptr);
    OnlineFolder root;
    root.m_name = "Online Database";
    root.m_url = GetSavesUrl();
    listJob.RefreshRoot(&root);
    ui.PumpWhile([&] { return listJob.IsRunning(); });
    listJob.WaitForJob();
    std::set<std::string> visited{root.m_url.value_or("")};
    FetchFolders(listJob, ui, root, 0, visited);
    std::printf("Online Database\n");
    Print(root, 1);
    return 0;
}

const CliCommandRegistrar kOnline({"online", "[--settings URL] [--trace]", RunOnline});

} // namespace
} // namespace tolvar::cli
