#pragma once

#include "storage/CatalogueItem.h"

namespace tolvar {

class SaveEntry : public CatalogueItem
{
public:
    SaveEntry() { m_kind = kItemSave; }

    std::string m_displayText; // save name followed by its date; the sort key
    std::string m_saveName;
};

} // namespace tolvar
