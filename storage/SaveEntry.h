#pragma once

#include "storage/CatalogueItem.h"

namespace tolvar {

class SaveEntry : public CatalogueItem
{
public:
    SaveEntry() { kind = kItemSave; }

    char displayText[256] = {}; // save name followed by its date; the sort key
    char saveName[256] = {};
};

} // namespace tolvar
