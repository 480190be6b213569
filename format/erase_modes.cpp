#include "format/erase_modes.h"

#include "cards/row_lookup.h"

const EraseModeRow* EraseModeRowOf(EraseMode mode)
{
    return RowWhere(kEraseModeRows, &EraseModeRow::mode, mode);
}

const EraseModeRow* EraseModeRowOfCheckBox(int checkBoxId)
{
    return RowWhere(kEraseModeRows, &EraseModeRow::checkBoxId, checkBoxId);
}

const EraseModeRow* EraseModeNamed(std::string_view name)
{
    return RowWhere(kEraseModeRows, &EraseModeRow::name, name);
}
