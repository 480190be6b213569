#include "cli/read_back_library_win32.h"

#include "cli/card_health.h"
#include "cli/win32_card_access.h"

#include <cstdio>

int ReadBackLibrary::Build(trellan::Builder builder, char driveLetter, char* label,
                           const std::optional<trellan::ExfatOemSector>& oemParameters)
{
    failureText_.clear();
    cardFaulty_ = false;
    if (readBack_ == ReadBack::beforeBuild && !VerifyErase(driveLetter)) {
        return 0;
    }
    return builders_.Build(builder, driveLetter, label, oemParameters);
}

bool ReadBackLibrary::VerifyErase(char driveLetter)
{
    Win32CardAccess::Opening opening = Win32CardAccess::Opening::failed;
    const std::unique_ptr<Win32CardAccess> card =
        Win32CardAccess::Open(driveLetter, Win32CardAccess::Use::readOnly, opening, failureText_);
    if (!card) {
        return false;
    }
    const ZeroCheck check = CheckAllZero(*card, card->LengthBytes(), stderr);
    if (!check.firstBadOffset) {
        return true;
    }
    cardFaulty_ = true;
    failureText_ = DescribeZeroCheck(check);
    return false;
}
