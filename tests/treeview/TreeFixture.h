#pragma once

#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "treeview/SkinTree.h"
#include "widgets/SkinScrollBar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tolvar::test {

// A tree that records what its hooks were told and can be given images.
class RecordingTree : public CSkinTree
{
public:
    explicit RecordingTree(CSkinScrollBar* bar) : CSkinTree(bar, 164, 144, 143) {}

    void OnItemDblClk(TreeItem* item) override
    {
        events.push_back("dblclk:" + GetItemText(item) + (item->expanded ? ":open" : ":closed"));
    }
    void OnBegindrag(NMTREEVIEW* info, LResult*) override
    {
        events.push_back("begindrag");
        points.push_back(info->ptDrag);
    }
    bool OnEndLabelEdit(TreeItem* item, std::string text) override
    {
        events.push_back("endedit:" + GetItemText(item) + "->" + text);
        return acceptEdit;
    }
    int GetItemImage(TreeItem* item) override { return item != nullptr ? imageForAll : -1; }

    std::vector<std::string> events;
    std::vector<gfx::Point> points;
    bool acceptEdit = false;
    int imageForAll = -1;
};

// A headless window system on a manual clock, a main window, and two trees
// with their scroll bars where the main window puts them.
class TreeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ui::SetClock(&clock);
        auto backend = std::make_unique<ui::HeadlessBackend>();
        display = backend.get();
        system = std::make_unique<ui::WindowSystem>(std::move(backend));
        main = std::make_unique<ui::Window>();
        main->Create(nullptr, gfx::Rect::FromSize(100, 100, 700, 494));
        leftBar = MakeBar();
        rightBar = MakeBar();
        left = std::make_unique<RecordingTree>(leftBar.get());
        right = std::make_unique<RecordingTree>(rightBar.get());
        ASSERT_TRUE(left->CreateTree(main.get(), {30, 170}, 1000, "Local Tree"));
        ASSERT_TRUE(right->CreateTree(main.get(), {366, 170}, 1001, "Online Tree"));
        leftBar->Create(1100, main.get(), left.get(), 30 + 287 + 2, 170);
        rightBar->Create(1101, main.get(), right.get(), 366 + 287 + 2, 170);
        system->RunPending();
    }
    static std::unique_ptr<CSkinScrollBar> MakeBar()
    {
        return std::make_unique<CSkinScrollBar>(129, 140, 139, 138, 130, 137, 134, 136, 133, 135,
                                                132);
    }
    // Screen point of a client point of a tree.
    static gfx::Point At(CSkinTree& tree, int x, int y)
    {
        return tree.ClientToScreen(gfx::Point{x, y});
    }
    void Advance(int ms)
    {
        clock.Advance(std::chrono::milliseconds(ms));
        system->RunPending();
    }
    void Click(CSkinTree& tree, gfx::Point p)
    {
        display->Click(At(tree, p.x, p.y));
        system->RunPending();
    }
    void Move(CSkinTree& tree, int x, int y)
    {
        display->MouseMove(At(tree, x, y));
        system->RunPending();
    }
    void Key(unsigned vk, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            display->PressKey(vk);
        }
        system->RunPending();
    }
    void Wheel(int delta)
    {
        display->Wheel(delta);
        system->RunPending();
    }
    // Client point in the middle of an item's label, for clicks.
    static gfx::Point LabelPoint(CSkinTree& tree, TreeItem* item)
    {
        gfx::Rect r;
        tree.GetItemRect(item, &r);
        return {r.left + 25, r.top + 8};
    }
    // Fills a tree with n top-level items "item 0" ... and returns them.
    static std::vector<TreeItem*> Fill(CSkinTree& tree, int n)
    {
        std::vector<TreeItem*> items;
        for (int i = 0; i < n; ++i) {
            items.push_back(tree.InsertItemShort("item " + std::to_string(i), nullptr, nullptr));
        }
        return items;
    }

    // Members go in reverse order: trees, bars, main window, window system,
    // and only then is the clock taken back.
    ui::ManualClock clock;
    struct ClockReset
    {
        ~ClockReset() { ui::SetClock(nullptr); }
    } clockReset;
    ui::HeadlessBackend* display = nullptr;
    std::unique_ptr<ui::WindowSystem> system;
    std::unique_ptr<ui::Window> main;
    std::unique_ptr<CSkinScrollBar> leftBar, rightBar;
    std::unique_ptr<RecordingTree> left, right;
};

} // namespace tolvar::test
