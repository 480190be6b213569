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
    // The job holds the card on this thread: the read-back joins its hold
    // (on Windows no other handle reads a locked volume).
    CardRefusal refusal = CardRefusal::none;
    const std::unique_ptr<Win32CardAccess> card = Win32CardAccess::Open(driveLetter, refusal);
    const std::optional<std::uint64_t> length = card ? card->LengthBytes() : std::nullopt;
    if (!length) {
        failureText_ = "cannot read the card back";
        return false;
    }
    const ZeroCheck check = CheckAllZero(*card, *length, stderr);
    if (!check.firstBadOffset) {
        return true;
    }
    cardFaulty_ = true;
    failureText_ = DescribeZeroCheck(check);
    return false;
}
