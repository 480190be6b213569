// The first row of a table whose member holds a value; nullptr when none does.
#pragma once

template <class Rows, class Row, class Member, class Value>
const Row* RowWhere(const Rows& rows, Member Row::*member, const Value& value)
{
    for (const Row& row : rows) {
        if (row.*member == value)
            return &row;
    }
    return nullptr;
}
