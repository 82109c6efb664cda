#pragma once

#include "platform/gfx/Rect.h"
#include "platform/ui/Window.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolvar::ui {

// The file-list clipboard format (a DROPFILES block).
constexpr unsigned CF_HDROP = 15;

using DropEffect = unsigned;
enum : DropEffect
{
    DROPEFFECT_NONE = 0,
    DROPEFFECT_COPY = 1,
    DROPEFFECT_MOVE = 2,
    DROPEFFECT_LINK = 4,
};

// The width and height of the box around the press that the pointer must
// leave before a drag begins (SM_CXDRAG, SM_CYDRAG).
constexpr int kDragWidth = 4;
constexpr int kDragHeight = 4;

// A memory block as it travels with a drag.
using GlobalBlock = std::vector<std::uint8_t>;

// What a drag carries: blocks under clipboard formats. The source caches
// them; a target asks whether a format is there and gets its own copy.
// The object frees every block it holds exactly once, when it goes.
class DataObject
{
public:
    void CacheGlobalData(unsigned format, GlobalBlock block); // replaces one of the same format
    bool IsDataAvailable(unsigned format) const;
    std::optional<GlobalBlock> GetGlobalData(unsigned format) const;
    std::vector<unsigned> Formats() const;

private:
    std::vector<std::pair<unsigned, GlobalBlock>> m_blocks;
};

// Something that takes drops on a window. One target per window; a drag
// over a child of a registered window goes to the nearest registered
// ancestor. Points are in the registered window's client coordinates.
class DropTarget
{
public:
    DropTarget() = default;
    virtual ~DropTarget();
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    bool Register(Window* window);
    void Revoke();
    WindowHandle GetRegisteredWindow() const { return m_window; }

    virtual DropEffect OnDragEnter(Window* window, DataObject* data, unsigned keyState,
                                   Point point);
    virtual DropEffect OnDragOver(Window* window, DataObject* data, unsigned keyState, Point point);
    virtual void OnDragLeave(Window* window);
    virtual bool OnDrop(Window* window, DataObject* data, DropEffect effect, Point point);

    // The target for the window under a screen point, with the window it is
    // registered for; nullptr when there is none.
    static DropTarget* FromPoint(Point screen, Window** registered);
    static DropTarget* FromWindow(WindowHandle window);

private:
    WindowHandle m_window = kNoWindow;
};

// Carries a drag over the windows of ours: enter, over and leave as the
// pointer moves from target to target, then the drop. Targets are looked up
// by handle at every step, so one destroyed mid-drag is simply skipped. Both
// our own DoDragDrop and drags from other programs (XDND) go through it.
class DropDispatcher
{
public:
    DropDispatcher(DataObject& data, DropEffect allowed) : m_data(data), m_allowed(allowed) {}
    ~DropDispatcher();

    // The effect the target under the pointer answers, limited to the
    // allowed ones; DROPEFFECT_NONE over no target.
    DropEffect Over(Point screen, unsigned keyState);
    void Leave();
    // Drops on the target under the pointer when it last accepted; a target
    // that refused hears a leave instead. Returns the effect of the drop.
    DropEffect Drop(Point screen);
    bool OverTarget() const { return m_window != kNoWindow; }

private:
    DataObject& m_data;
    DropEffect m_allowed;
    WindowHandle m_window = kNoWindow;
    DropEffect m_lastEffect = DROPEFFECT_NONE;
};

// Where a drag goes when the pointer is over no window of ours (the X11
// backend carries it on to other programs). The backend hands it out.
class ExternalDropSink
{
public:
    virtual ~ExternalDropSink() = default;
    virtual DropEffect Over(Point screen, DataObject& data, DropEffect allowed) = 0;
    virtual void Leave() = 0;
    virtual DropEffect Drop(Point screen, DataObject& data) = 0;
};
// Runs a drag from where the pointer is now until the left button is
// released (the drop) or Escape is pressed. Releasing before the pointer
// has left the drag box around its start ends it with DROPEFFECT_NONE.
// Once the drag proper has begun, the pointer shows at every move whether a
// drop there would copy or be refused. Returns the effect the drop target
// answered.
DropEffect DoDragDrop(DataObject& data, DropEffect allowed);
// The same from a given start point, for a drag that begins from an input
// message (its point, not where the pointer has got to since).
DropEffect DoDragDrop(DataObject& data, DropEffect allowed, Point startScreen);

// The file-list block (DROPFILES): a 20-byte header, then each path with its
// NUL, then a NUL ending the list. Paths are UTF-8: every block we read is
// one we built, here or from another program's drop.
GlobalBlock BuildDropFiles(const std::vector<std::string>& paths);
// DragQueryFile on a block: index 0xFFFFFFFF gives the number of files; else
// copies the path of file index into buffer (at most size - 1 characters and
// a NUL) and returns its length, the length it needs when buffer is null, or
// 0 when there is no such file or the block is damaged.
unsigned DragQueryFile(const GlobalBlock& block, unsigned index, char* buffer, unsigned size);
std::vector<std::string> DragQueryFiles(const GlobalBlock& block);

} // namespace tolvar::ui
