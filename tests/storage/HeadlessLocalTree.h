#pragma once

// The Local Tree in a main window on the headless display, over whatever
// drives the test has faked, with the code list address in the test's hands.
// The working folder must hold "Saves" (the PC database) while it lives.
#include "platform/ui/Window.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "storage/LocalTree.h"
#include "tests/storage/TestSaves.h"
#include "widgets/SkinScrollBar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tolvar::test {

class HeadlessLocalTree final : public LocalTreeHost
{
public:
    explicit HeadlessLocalTree(const std::filesystem::path& programFolder)
        : m_system(std::make_unique<ui::HeadlessBackend>())
    {
        m_main.Create(nullptr, gfx::Rect::FromSize(100, 100, 700, 494));
        std::string program = ProgramFolder(programFolder);
        program.pop_back(); // the tree takes it without its last backslash
        m_tree = std::make_unique<CLocalTree>(&m_bar, this, program);
        EXPECT_TRUE(m_tree->CreateTree(&m_main, {30, 170}, 1000, "Local Tree"));
        m_bar.Create(1100, &m_main, m_tree.get(), 30 + 287 + 2, 170);
        m_tree->FillTree();
        m_system.RunPending();
    }
    ~HeadlessLocalTree() { m_tree.reset(); }

    CLocalTree& Tree() { return *m_tree; }
    // The location whose item text starts with `text` ("E (E:").
    CatalogueItem* Location(const std::string& text)
    {
        for (TreeItem* item : m_tree->GetAllItems()) {
            if (m_tree->GetItemText(item).rfind(text, 0) == 0) {
                return m_tree->Locations().FindItemById(item);
            }
        }
        ADD_FAILURE() << "no location " << text;
        return nullptr;
    }
    // Runs a menu command to the end of the job it starts.
    void Run(unsigned command, CatalogueItem* record)
    {
        m_tree->OnMenuCommand(command, record);
        m_tree->WaitForJobs();
        m_system.RunPending();
    }

    std::string codeListUrl;

    void StartUpload(const std::string&, const std::string&, const std::string&) override {}
    std::string GetCodeListUrl() const override { return codeListUrl; }
    WindowHandle GetMainWindow() const override { return kNoWindow; }

private:
    ui::WindowSystem m_system;
    ui::Window m_main;
    CSkinScrollBar m_bar{129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132};
    std::unique_ptr<CLocalTree> m_tree;
};

} // namespace tolvar::test
