#include "format/erase_modes.h"

const EraseModeRow* EraseModeRowOf(EraseMode mode)
{
    for (const EraseModeRow& row : kEraseModeRows) {
        if (row.mode == mode)
            return &row;
    }
    return nullptr;
}

const EraseModeRow* EraseModeRowOfCheckBox(int checkBoxId)
{
    for (const EraseModeRow& row : kEraseModeRows) {
        if (row.checkBoxId == checkBoxId)
            return &row;
    }
    return nullptr;
}

bool IsEraseCheckBox(unsigned controlId)
{
    return EraseModeRowOfCheckBox(static_cast<int>(controlId)) != nullptr;
}

const EraseModeRow* EraseModeNamed(std::string_view name)
{
    for (const EraseModeRow& row : kEraseModeRows) {
        if (row.name == name)
            return &row;
    }
    return nullptr;
}
