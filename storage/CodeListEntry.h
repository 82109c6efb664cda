#pragma once

#include "storage/SaveEntry.h"

namespace tolvar {

// "codelist.bin"; display text and save name both hold "Code List Version %d".
class CodeListEntry : public SaveEntry
{
public:
    CodeListEntry() { m_kind = kItemCodeList; }
};

} // namespace tolvar
