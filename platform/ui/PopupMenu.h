#pragma once

#include "platform/ui/Window.h"

#include <string>
#include <vector>

namespace tolvar::ui {

enum MenuFlags : unsigned
{
    MF_STRING = 0x0,
    MF_GRAYED = 0x1,
    MF_DISABLED = 0x2,
    MF_CHECKED = 0x8,
    MF_SEPARATOR = 0x800,
    MF_DEFAULT = 0x1000, // drawn bold; also SetDefaultItem
};

enum TrackFlags : unsigned
{
    TPM_LEFTALIGN = 0x0,
    TPM_RIGHTBUTTON = 0x2,
    TPM_RETURNCMD = 0x100, // return the command instead of sending WM_COMMAND
};

// A context menu. TrackPopupMenu shows it at a screen point and runs a
// modal loop until an item is chosen (click, or arrows and Enter), or the
// menu is dismissed (Escape, a click elsewhere): it returns the chosen
// command, 0 when none. Without TPM_RETURNCMD the command is also sent to
// the owner as WM_COMMAND. Grey items cannot be chosen. '&' marks a
// mnemonic letter, drawn underlined; its key chooses the item.
class PopupMenu
{
public:
    struct Item
    {
        unsigned flags = MF_STRING;
        unsigned id = 0;
        std::string text;
    };

    bool AppendMenu(unsigned flags, unsigned id = 0, const std::string& text = {});
    bool EnableMenuItem(unsigned id, unsigned flags); // MF_GRAYED or MF_STRING (enabled)
    bool SetDefaultItem(unsigned id);
    bool CheckMenuItem(unsigned id, bool checked);
    const std::vector<Item>& Items() const { return m_items; }
    std::size_t GetMenuItemCount() const { return m_items.size(); }

    unsigned TrackPopupMenu(unsigned flags, Point screen, Window* owner);

    // The menu's window while tracking (tests read its frame); nullptr else.
    static Window* ActiveMenuWindow();

private:
    std::vector<Item> m_items;
};

} // namespace tolvar::ui
