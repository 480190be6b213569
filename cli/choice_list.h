// "a, b or c" from one member of each row of a table, for messages and help.
#pragma once

#include <cstddef>
#include <string>

template <class Rows, class Member>
std::string ChoiceList(const Rows& rows, Member member)
{
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i != 0) {
            text += i + 1 == rows.size() ? " or " : ", ";
        }
        text += rows[i].*member;
    }
    return text;
}
