// Drag and drop with other programs under a private Xvfb: a small XDND drag
// source of our own drops a file on a tree, and a drag out of a tree lands
// on a small XDND target the way it would on a file manager.

#include "platform/ui/x11/Xdnd.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"
#include "treeview/DragPayload.h"
#include "treeview/FileTree.h"
#include "widgets/SkinScrollBar.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib defines None and Bool as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace tolvar::test {
namespace {

using namespace std::chrono_literals;

class ShellTree : public CFileTree
{
public:
    explicit ShellTree(CSkinScrollBar* bar) : CFileTree(bar, 164, 144, 143) {}

    ui::DropEffect OnDragEnter(ui::Window*, ui::DataObject* data, unsigned, gfx::Point) override
    {
        ++enters;
        return data->IsDataAvailable(ui::CF_HDROP) ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
    }
    ui::DropEffect OnDragOver(ui::Window*, ui::DataObject*, unsigned, gfx::Point) override
    {
        return ui::DROPEFFECT_COPY;
    }
    bool OnDrop(ui::Window*, ui::DataObject* data, ui::DropEffect, gfx::Point point) override
    {
        char path[600] = {};
        ui::DragQueryFile(*data->GetGlobalData(ui::CF_HDROP), 0, path, sizeof path);
        droppedPath = path;
        dropPoint = point;
        return true;
    }
    bool CanBeginDrag(gfx::Point point) override { return HitTest(point.x, point.y) != nullptr; }
    void BeginDrag(TreeItem*) override
    {
        dragResult = RunDrag(ui::RegisterClipboardFormat("ZyferLocalFile"),
                             MakeOwnFormatBlock(MainWindowHandle()), "\\tmp\\out dir\\a.tvd");
        dragDone = true;
    }

    int enters = 0;
    std::string droppedPath;
    gfx::Point dropPoint;
    ui::DropEffect dragResult = 99;
    bool dragDone = false;
};

struct Atoms
{
    explicit Atoms(Display* d) : display(d) {}
    Atom operator()(const char* name) const { return XInternAtom(display, name, False); }
    Display* display;
    Atom selection = (*this)("XdndSelection"), enter = (*this)("XdndEnter"),
         position = (*this)("XdndPosition"), status = (*this)("XdndStatus"),
         drop = (*this)("XdndDrop"), finished = (*this)("XdndFinished"),
         aware = (*this)("XdndAware"), copy = (*this)("XdndActionCopy"),
         uriList = (*this)("text/uri-list"), data = (*this)("PEER_DATA");
};

void SendClient(Display* d, ::Window to, Atom type, std::array<long, 5> data)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    std::copy(data.begin(), data.end(), e.xclient.data.l);
    XSendEvent(d, to, False, NoEventMask, &e);
    XFlush(d);
}

// A window property as bytes, optionally deleted once read.
std::string ReadProperty(Display* d, ::Window w, Atom property, bool remove)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = nullptr;
    XGetWindowProperty(d, w, property, 0, 4096, remove ? True : False, AnyPropertyType, &type,
                       &format, &count, &after, &value);
    std::string out;
    if (value != nullptr) {
        // Xlib hands 32-bit items over as longs.
        const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format) / 8;
        out.assign(reinterpret_cast<char*>(value), count * unit);
        XFree(value);
    }
    return out;
}

// Waits for the next event on a peer's connection, at most until deadline.
bool NextEvent(Display* d, XEvent& e, std::chrono::steady_clock::time_point deadline)
{
    while (std::chrono::steady_clock::now() < deadline) {
        if (XPending(d) > 0) {
            XNextEvent(d, &e);
            return true;
        }
        usleep(2000);
    }
    return false;
}

class XdndDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alarm(90); // a broken loop fails instead of hanging
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        auto backend = ui::X11Backend::Open(server.Display().c_str());
        ASSERT_TRUE(backend);
        x11 = backend.get();
        system = std::make_unique<ui::WindowSystem>(std::move(backend));
        main = std::make_unique<ui::Window>();
        ASSERT_TRUE(main->Create(nullptr, gfx::Rect::FromSize(0, 0, 400, 460)));
        bar =
            std::make_unique<CSkinScrollBar>(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132);
        tree = std::make_unique<ShellTree>(bar.get());
        ASSERT_TRUE(tree->CreateTree(main.get(), {30, 170}, 1000, "Local Tree"));
        bar->Create(1100, main.get(), tree.get(), 319, 170);
        ASSERT_TRUE(tree->RegisterDropTarget());
        TreeItem* location = tree->InsertItemShort("E:", nullptr, nullptr);
        tree->InsertItemShort("a.tvd", location, nullptr);
        tree->Expand(location, TVE_EXPAND);
        system->RunUntil([] { return false; }, 200ms);
    }
    void TearDown() override { alarm(0); } // members go tree first, server last

    XvfbServer server{1024, 768};
    ui::X11Backend* x11 = nullptr;
    std::unique_ptr<ui::WindowSystem> system;
    std::unique_ptr<ui::Window> main;
    std::unique_ptr<CSkinScrollBar> bar;
    std::unique_ptr<ShellTree> tree;
};

TEST_F(XdndDesktop, FileDroppedFromAnotherProgramArrivesAsAFileList)
{
    const ui::XWindowId target = x11->NativeId(main->Handle());
    ASSERT_NE(target, 0U);
    const gfx::Point screen = tree->ClientToScreen(gfx::Point{100, 30});

    std::atomic<bool> finished{false};
    std::atomic<bool> statusAccepted{false};
    std::atomic<bool> finishedAccepted{false};
    std::thread source([&] {
        Display* d = XOpenDisplay(server.Display().c_str());
        ASSERT_NE(d, nullptr);
        Atoms atoms(d);
        // The property that says our windows take drops is there.
        const std::string aware = ReadProperty(d, target, atoms.aware, false);
        ASSERT_EQ(aware.size(), sizeof(long));
        EXPECT_GE(*reinterpret_cast<const long*>(aware.data()), 3);
        ::Window self = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(d, atoms.selection, self, CurrentTime);
        const long me = static_cast<long>(self);
        SendClient(d, target, atoms.enter, {me, 5L << 24, static_cast<long>(atoms.uriList), 0, 0});
        SendClient(
            d, target, atoms.position,
            {me, 0, (screen.x << 16) | screen.y, CurrentTime, static_cast<long>(atoms.copy)});
        bool dropSent = false;
        auto deadline = std::chrono::steady_clock::now() + 20s;
        XEvent e;
        while (!finished && NextEvent(d, e, deadline)) {
            if (e.type == SelectionRequest) {
                const std::string list = "file:///home/u/a%20b.tvd\r\n";
                XSelectionRequestEvent& r = e.xselectionrequest;
                XChangeProperty(d, r.requestor, r.property, r.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list.data()),
                                static_cast<int>(list.size()));
                XEvent reply{};
                reply.xselection = {SelectionNotify, 0,        False,      d,     r.requestor,
                                    r.selection,     r.target, r.property, r.time};
                XSendEvent(d, r.requestor, False, NoEventMask, &reply);
                XFlush(d);
            } else if (e.type == ClientMessage && e.xclient.message_type == atoms.status) {
                statusAccepted = (e.xclient.data.l[1] & 1) != 0;
                EXPECT_EQ(static_cast<Atom>(e.xclient.data.l[4]),
                          statusAccepted ? atoms.copy : None);
                if (!dropSent) {
                    SendClient(d, target, atoms.drop, {me, 0, CurrentTime, 0, 0});
                    dropSent = true;
                }
            } else if (e.type == ClientMessage && e.xclient.message_type == atoms.finished) {
                finishedAccepted = (e.xclient.data.l[1] & 1) != 0;
                finished = true;
            }
        }
        XCloseDisplay(d);
    });
    bool done = system->RunUntil([&] { return finished.load(); }, 25s);
    source.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(statusAccepted);
    EXPECT_TRUE(finishedAccepted);
    EXPECT_EQ(tree->enters, 1);
    EXPECT_EQ(tree->droppedPath, "\\home\\u\\a b.tvd");
    EXPECT_EQ(tree->dropPoint, (gfx::Point{100, 30}));
}

TEST_F(XdndDesktop, SaveDraggedOutLandsOnAFileManagerAsAUriList)
{
    std::atomic<bool> stop{false};
    std::atomic<bool> ready{false};
    std::string received;
    std::atomic<bool> gotDrop{false};
    std::thread manager([&] {
        Display* d = XOpenDisplay(server.Display().c_str());
        ASSERT_NE(d, nullptr);
        Atoms atoms(d);
        ::Window self = XCreateSimpleWindow(d, DefaultRootWindow(d), 600, 100, 300, 300, 0, 0, 0);
        long version = 5;
        XChangeProperty(d, self, atoms.aware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&version), 1);
        XSelectInput(d, self, PropertyChangeMask);
        XMapWindow(d, self);
        XSync(d, False);
        ready = true;
        ::Window source = 0;
        auto deadline = std::chrono::steady_clock::now() + 30s;
        XEvent e;
        while (!stop && NextEvent(d, e, deadline)) {
            if (e.type == ClientMessage && e.xclient.message_type == atoms.enter) {
                source = static_cast<::Window>(e.xclient.data.l[0]);
                EXPECT_EQ(static_cast<Atom>(e.xclient.data.l[2]), atoms.uriList);
            } else if (e.type == ClientMessage && e.xclient.message_type == atoms.position) {
                SendClient(d, source, atoms.status,
                           {static_cast<long>(self), 1, 0, 0, static_cast<long>(atoms.copy)});
            } else if (e.type == ClientMessage && e.xclient.message_type == atoms.drop) {
                XConvertSelection(d, atoms.selection, atoms.uriList, atoms.data, self, CurrentTime);
                XFlush(d);
            } else if (e.type == SelectionNotify && e.xselection.property == atoms.data) {
                received = ReadProperty(d, self, atoms.data, true);
                SendClient(d, source, atoms.finished,
                           {static_cast<long>(self), 1, static_cast<long>(atoms.copy), 0, 0});
                gotDrop = true;
                break;
            }
        }
        XCloseDisplay(d);
    });
    while (!ready) {
        std::this_thread::sleep_for(10ms);
    }
    gfx::Rect label;
    TreeItem* save = tree->GetRootItem()->firstChild->firstChild;
    tree->GetLabelRect(save, &label);
    const gfx::Point from = tree->ClientToScreen(gfx::Point{label.left + 5, label.top + 8});
    const std::string xdotool = "DISPLAY=" + server.Display() + " xdotool ";
    auto run = [&](const std::string& args) {
        ASSERT_EQ(std::system((xdotool + args).c_str()), 0);
    };
    run("mousemove " + std::to_string(from.x) + " " + std::to_string(from.y));
    system->RunUntil([] { return false; }, 100ms);
    run("mousedown 1");
    for (int x : {from.x + 10, from.x + 60, 650, 700}) {
        run("mousemove " + std::to_string(x) + " 200");
    }
    run("mouseup 1");
    EXPECT_TRUE(system->RunUntil([&] { return tree->dragDone && gotDrop.load(); }, 20s));
    stop = true;
    manager.join();
    EXPECT_EQ(tree->dragResult, ui::DROPEFFECT_COPY);
    EXPECT_EQ(received, "file:///tmp/out%20dir/a.tvd\r\n");
}

TEST(UriLists, ConvertBothWays)
{
    EXPECT_EQ(ui::Xdnd::PathsFromUriList(
                  "# comment\r\nfile:///home/u/a.tvd\r\nfile://host/x/%41.tvd\nhttp://no\n"
                  "file:///tmp/..%5Cx%5Cv.tvd\nfile:///tmp/a%00.tvd\n"),
              (std::vector<std::string>{"\\home\\u\\a.tvd", "\\x\\A.tvd"}));
    EXPECT_EQ(ui::Xdnd::UriListFromPaths({"\\home\\u\\a b.tvd", "relative\\x"}),
              "file:///home/u/a%20b.tvd\r\n");
}

} // namespace
} // namespace tolvar::test
