#pragma once

// The Local Tree in a main window on the headless display, over whatever
// drives the test has faked, with the code list address in the test's hands.
// The main window records the application messages it is sent. The working
// folder must hold "Saves" (the PC database) while it lives.
#include "messages/AppMessages.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "storage/LocalTree.h"
#include "tests/storage/TestSaves.h"
#include "widgets/SkinScrollBar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tolvar::test {

class HeadlessLocalTree final : public LocalTreeHost
{
public:
    explicit HeadlessLocalTree(const std::filesystem::path& programFolder,
                               bool entriesLater = false)
        : m_display(new ui::HeadlessBackend),
          m_system(std::unique_ptr<ui::HeadlessBackend>(m_display))
    {
        m_main.Create(nullptr, gfx::Rect::FromSize(100, 100, 700, 494));
        std::string program = ProgramFolder(programFolder);
        program.pop_back(); // the tree takes it without its last backslash
        m_tree = std::make_unique<CLocalTree>(&m_bar, this, program);
        EXPECT_TRUE(m_tree->CreateTree(&m_main, {30, 170}, 1000, "Local Tree"));
        m_bar.Create(1100, &m_main, m_tree.get(), 30 + 287 + 2, 170);
        m_tree->SetLocalClipboardFormat(ui::RegisterClipboardFormat("ZyferLocalFile"));
        m_tree->SetOnlineClipboardFormat(ui::RegisterClipboardFormat("ZyferOnlineFile"));
        m_tree->FillTree(entriesLater);
        m_system.RunPending();
        m_main.messages.clear();
    }
    ~HeadlessLocalTree() { m_tree.reset(); }

    CLocalTree& Tree() { return *m_tree; }
    // Ends the tree, as closing the program does, with any job it runs.
    void Close() { m_tree.reset(); }
    ui::HeadlessBackend& Display() { return *m_display; }
    ui::WindowSystem& System() { return m_system; }
    ui::Window& Main() { return m_main; }
    // "3" for WM_APP_BUSY_START, "8 E:\codelist.bin", ...
    std::vector<std::string>& Messages() { return m_main.messages; }

    // The item whose text is `text` ("E", a drive's label), else the first
    // whose text starts with it ("alpha" for a save's line).
    TreeItem* Item(const std::string& text)
    {
        for (TreeItem* item : m_tree->GetAllItems()) {
            if (m_tree->GetItemText(item) == text) {
                return item;
            }
        }
        for (TreeItem* item : m_tree->GetAllItems()) {
            if (m_tree->GetItemText(item).rfind(text, 0) == 0) {
                return item;
            }
        }
        ADD_FAILURE() << "no item " << text;
        return nullptr;
    }
    CatalogueItem* Location(const std::string& text)
    {
        return m_tree->Locations().FindItemById(Item(text));
    }
    // Runs a menu command to the end of the job it starts.
    void Run(unsigned command, CatalogueItem* record)
    {
        m_tree->OnMenuCommand(command, record);
        RunJob();
    }
    void RunJob()
    {
        m_tree->WaitForJobs();
        m_system.RunPending();
    }

    std::string codeListUrl;
    // Runs where the tree asks for the address (the job's thread).
    std::function<void()> onCodeListUrl;
    mutable std::thread::id codeListUrlThread;

    std::vector<std::string> downloads; // "url size folder" of each online save dropped

    void DownloadSave(const OnlineSaveDrag& save, const std::string& folder) override
    {
        downloads.push_back(save.url + " " + std::to_string(save.downloadSize) + " " + folder);
    }
    // The folder a download is being written into, as the main window knows it.
    std::string downloadingTo;
    bool IsDownloadingTo(const std::string& folder) const override
    {
        return folder == downloadingTo;
    }
    std::string GetCodeListUrl() const override
    {
        codeListUrlThread = std::this_thread::get_id();
        if (onCodeListUrl) {
            onCodeListUrl();
        }
        return codeListUrl;
    }

private:
    class MainWindow final : public ui::Window
    {
    public:
        LResult OnMessage(unsigned message, WParam wParam, LParam lParam) override
        {
            if (message < WM_APP) {
                return ui::Window::OnMessage(message, wParam, lParam);
            }
            std::string text = std::to_string(message - WM_APP);
            if (message == WM_APP_CODELIST_DONE) {
                text += std::string(" ") + reinterpret_cast<const char*>(wParam);
            }
            messages.push_back(text);
            return 0;
        }
        std::vector<std::string> messages;
    };

    ui::HeadlessBackend* m_display;
    ui::WindowSystem m_system;
    MainWindow m_main;
    CSkinScrollBar m_bar{129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132};
    std::unique_ptr<CLocalTree> m_tree;
};

} // namespace tolvar::test
