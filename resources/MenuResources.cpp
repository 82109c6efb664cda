#include "resources/MenuResources.h"

namespace tolvar {

const char* const kVendorSiteName = "Tolvar on the &Web";

namespace {

const std::vector<MenuResource>& Menus()
{
    static const std::vector<MenuResource> menus = {
        // Local Tree: a save or the code list.
        {145, "Menu", {{0x8004, "&Delete File"}}},
        // Local Tree: a location.
        {163,
         "Menu",
         {{0x800C, "&Refresh"},
          {0x800D, "&Download CodeList"},
          {0x800F, "Download CodeList to &All Drives"},
          {0x8011, "Safely &Remove"},
          {0x8010, "&Format Drive"}}},
        // Online Tree: a folder.
        {146, "&Menu", {{0x8006, "&Refresh"}}},
        // Notification-area icon; 159 is kept but not used.
        {159, "Menu", {{0x8009, "Show / Hide"}, {0x8008, "Tolvar &Support"}}},
        {160, "Menu", {{0x8009, "Show / Hide"}, {0x8008, kVendorSiteName}}},
    };
    return menus;
}

} // namespace

const MenuResource* FindMenuResource(int id)
{
    for (const MenuResource& m : Menus()) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

} // namespace tolvar
