#pragma once

#include "storage/CatalogueItem.h"

namespace tolvar {

class SaveEntry : public CatalogueItem
{
public:
    SaveEntry() { m_kind = kItemSave; }

    char m_displayText[256] = {}; // save name followed by its date; the sort key
    char m_saveName[256] = {};
};

} // namespace tolvar
