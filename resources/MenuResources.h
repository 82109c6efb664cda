#pragma once

#include <string>
#include <vector>

namespace tolvar {

// A menu resource: one pop-up with its items, as the program's menus are.
struct MenuItemResource
{
    unsigned command; // 0 for a separator
    std::string text; // '&' marks the mnemonic
};

struct MenuResource
{
    int id;
    std::string popupText;
    std::vector<MenuItemResource> items;
};

// Null when there is no menu resource with that id.
const MenuResource* FindMenuResource(int id);

// The name of the maker's web site, the second item of the tray menu.
extern const char* const kVendorSiteName;

} // namespace tolvar
