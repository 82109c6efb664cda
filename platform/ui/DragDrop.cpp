// Drag and drop inside the process, and its join to the desktop.
//
// Drop targets are kept in a table by window handle. DoDragDrop runs a
// nested loop whose filter takes every mouse and key message: moves go to a
// DropDispatcher, which finds the registered window under the pointer and
// tells targets about enter, over and leave; the button release drops. When
// the pointer is over no window of ours, the backend's external sink (XDND
// on X11) carries the drag on to other programs. The pointer's look follows
// the answer of whatever lies under it.

#include "platform/ui/DragDrop.h"

#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace tolvar::ui {

namespace {

std::map<WindowHandle, DropTarget*>& Targets()
{
    static std::map<WindowHandle, DropTarget*> targets;
    return targets;
}

constexpr std::size_t kDropFilesHeader = 20;

std::uint32_t ReadU32(const GlobalBlock& block, std::size_t at)
{
    if (at + 4 > block.size()) {
        return 0;
    }
    return static_cast<std::uint32_t>(block[at]) |
           (static_cast<std::uint32_t>(block[at + 1]) << 8) |
           (static_cast<std::uint32_t>(block[at + 2]) << 16) |
           (static_cast<std::uint32_t>(block[at + 3]) << 24);
}

void WriteU32(GlobalBlock& block, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        block[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The list of a block, read with every bound checked: a list without its
// final NUL ends where the block does.
std::vector<std::string> ParseDropFiles(const GlobalBlock& block)
{
    std::vector<std::string> files;
    if (block.size() < kDropFilesHeader) {
        return files;
    }
    const std::size_t offset = ReadU32(block, 0);
    if (offset < kDropFilesHeader || offset >= block.size()) {
        return files;
    }
    std::size_t at = offset;
    while (at < block.size() && block[at] != 0) {
        std::size_t end = at;
        while (end < block.size() && block[end] != 0) {
            ++end;
        }
        files.emplace_back(reinterpret_cast<const char*>(block.data() + at), end - at);
        at = end + 1;
    }
    return files;
}

// A window that takes drops tells other programs so.
void AnnounceToDesktop(Window* window)
{
    if (WindowSystem* system = WindowSystem::Instance()) {
        system->GetBackend().AnnounceDropTarget(window->TopLevel()->Handle());
    }
}

} // namespace

void DataObject::CacheGlobalData(unsigned format, GlobalBlock block)
{
    for (auto& [f, b] : m_blocks) {
        if (f == format) {
            b = std::move(block);
            return;
        }
    }
    m_blocks.emplace_back(format, std::move(block));
}

bool DataObject::IsDataAvailable(unsigned format) const
{
    return std::any_of(m_blocks.begin(), m_blocks.end(),
                       [format](const auto& entry) { return entry.first == format; });
}

std::optional<GlobalBlock> DataObject::GetGlobalData(unsigned format) const
{
    for (const auto& [f, b] : m_blocks) {
        if (f == format) {
            return b;
        }
    }
    return std::nullopt;
}

std::vector<unsigned> DataObject::Formats() const
{
    std::vector<unsigned> formats;
    for (const auto& entry : m_blocks) {
        formats.push_back(entry.first);
    }
    return formats;
}

DropTarget::~DropTarget()
{
    Revoke();
}

bool DropTarget::Register(Window* window)
{
    if (window == nullptr || !window->IsWindow()) {
        return false;
    }
    Revoke();
    m_window = window->Handle();
    Targets()[m_window] = this;
    AnnounceToDesktop(window);
    return true;
}

void DropTarget::Revoke()
{
    if (m_window == kNoWindow) {
        return;
    }
    auto it = Targets().find(m_window);
    if (it != Targets().end() && it->second == this) {
        Targets().erase(it);
    }
    m_window = kNoWindow;
}

DropEffect DropTarget::OnDragEnter(Window*, DataObject*, unsigned, Point)
{
    return DROPEFFECT_NONE;
}
DropEffect DropTarget::OnDragOver(Window*, DataObject*, unsigned, Point)
{
    return DROPEFFECT_NONE;
}
void DropTarget::OnDragLeave(Window*) {}
bool DropTarget::OnDrop(Window*, DataObject*, DropEffect, Point)
{
    return false;
}

DropTarget* DropTarget::FromWindow(WindowHandle window)
{
    auto it = Targets().find(window);
    if (it == Targets().end() || Window::FromHandle(window) == nullptr) {
        return nullptr;
    }
    return it->second;
}

DropTarget* DropTarget::FromPoint(Point screen, Window** registered)
{
    for (Window* w = Window::WindowFromPoint(screen); w != nullptr; w = w->Parent()) {
        if (DropTarget* target = FromWindow(w->Handle())) {
            if (registered != nullptr) {
                *registered = w;
            }
            return target;
        }
    }
    return nullptr;
}

DropDispatcher::~DropDispatcher()
{
    Leave();
}

DropEffect DropDispatcher::Over(Point screen, unsigned keyState)
{
    Window* window = nullptr;
    DropTarget* target = DropTarget::FromPoint(screen, &window);
    WindowHandle handle = target != nullptr ? window->Handle() : kNoWindow;
    if (handle != m_window) {
        Leave();
        m_window = handle;
        if (target != nullptr) {
            m_lastEffect =
                target->OnDragEnter(window, &m_data, keyState, window->ScreenToClient(screen)) &
                m_allowed;
            return m_lastEffect;
        }
    } else if (target != nullptr) {
        m_lastEffect =
            target->OnDragOver(window, &m_data, keyState, window->ScreenToClient(screen)) &
            m_allowed;
        return m_lastEffect;
    }
    m_lastEffect = DROPEFFECT_NONE;
    return m_lastEffect;
}

void DropDispatcher::Leave()
{
    if (m_window == kNoWindow) {
        return;
    }
    WindowHandle handle = m_window;
    m_window = kNoWindow;
    m_lastEffect = DROPEFFECT_NONE;
    if (DropTarget* target = DropTarget::FromWindow(handle)) {
        target->OnDragLeave(Window::FromHandle(handle));
    }
}

DropEffect DropDispatcher::Drop(Point screen)
{
    if (m_window == kNoWindow) {
        return DROPEFFECT_NONE;
    }
    WindowHandle handle = m_window;
    DropEffect effect = m_lastEffect;
    DropTarget* target = DropTarget::FromWindow(handle);
    if (target == nullptr) {
        m_window = kNoWindow;
        return DROPEFFECT_NONE;
    }
    if (effect == DROPEFFECT_NONE) {
        Leave();
        return DROPEFFECT_NONE;
    }
    m_window = kNoWindow;
    Window* window = Window::FromHandle(handle);
    bool dropped = target->OnDrop(window, &m_data, effect, window->ScreenToClient(screen));
    return dropped ? effect : DROPEFFECT_NONE;
}

DropEffect DoDragDrop(DataObject& data, DropEffect allowed)
{
    return DoDragDrop(data, allowed, Window::GetCursorPos());
}

DropEffect DoDragDrop(DataObject& data, DropEffect allowed, Point start)
{
    WindowSystem& system = WindowSystem::Get();
    bool started = false;
    bool done = false;
    bool outside = false; // the pointer is over another program's window
    DropEffect result = DROPEFFECT_NONE;
    DropDispatcher dispatcher(data, allowed);
    Backend& backend = system.GetBackend();
    ExternalDropSink* external = backend.GetExternalDropSink();

    auto moveTo = [&](Point screen, unsigned keyState) {
        DropEffect effect = dispatcher.Over(screen, keyState);
        bool nowOutside = !dispatcher.OverTarget() && external != nullptr &&
                          Window::WindowFromPoint(screen) == nullptr;
        if (outside && !nowOutside) {
            external->Leave();
        }
        outside = nowOutside;
        if (outside) {
            effect = external->Over(screen, data, allowed) & allowed;
        }
        backend.SetDragCursor(effect != DROPEFFECT_NONE ? DragCursor::Copy : DragCursor::Refused);
    };
    auto finish = [&](Point screen, bool drop) {
        done = true;
        // The loop may go to sleep after this pass; wake it to see it is done.
        system.GetBackend().Wake();
        if (!drop) {
            dispatcher.Leave();
            if (outside) {
                external->Leave();
            }
            return;
        }
        if (outside) {
            result = external->Drop(screen, data) & allowed;
        } else {
            result = dispatcher.Drop(screen);
        }
    };

    system.RunModalLoop(
        [&] { return !done; },
        [&](Message& message) {
            switch (message.message) {
            case WM_MOUSEMOVE:
                if (!started) {
                    started = std::abs(message.screenPoint.x - start.x) > kDragWidth / 2 ||
                              std::abs(message.screenPoint.y - start.y) > kDragHeight / 2;
                }
                if (started) {
                    moveTo(message.screenPoint, static_cast<unsigned>(message.wParam));
                }
                return true;
            case WM_LBUTTONUP:
                finish(message.screenPoint, started);
                return true;
            case WM_RBUTTONDOWN:
                finish(message.screenPoint, false);
                return true;
            case WM_KEYDOWN:
                if (message.wParam == VK_ESCAPE) {
                    finish(message.screenPoint, false);
                }
                return true;
            default:
                // Every other mouse and key message belongs to the drag too.
                return true;
            }
        });
    backend.SetDragCursor(DragCursor::Normal);
    return result;
}

GlobalBlock BuildDropFiles(const std::vector<std::string>& paths)
{
    std::size_t size = kDropFilesHeader + 1;
    for (const std::string& p : paths) {
        size += p.size() + 1;
    }
    GlobalBlock block(size, 0);
    WriteU32(block, 0, kDropFilesHeader);
    std::size_t at = kDropFilesHeader;
    for (const std::string& p : paths) {
        std::memcpy(block.data() + at, p.data(), p.size());
        at += p.size() + 1;
    }
    return block;
}

std::vector<std::string> DragQueryFiles(const GlobalBlock& block)
{
    return ParseDropFiles(block);
}

unsigned DragQueryFile(const GlobalBlock& block, unsigned index, char* buffer, unsigned size)
{
    std::vector<std::string> files = ParseDropFiles(block);
    if (index == 0xFFFFFFFFu) {
        return static_cast<unsigned>(files.size());
    }
    if (index >= files.size()) {
        return 0;
    }
    const std::string& path = files[index];
    if (buffer == nullptr) {
        return static_cast<unsigned>(path.size());
    }
    if (size == 0) {
        return 0;
    }
    std::size_t n = std::min<std::size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
    return static_cast<unsigned>(n);
}

} // namespace tolvar::ui
