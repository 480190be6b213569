#include "cli/sd_registers.h"

#include <cctype>
#include <cstdio>

namespace {

// A register's bits, numbered as the card standards do: bit 0 is the last
// hex digit's lowest.
class RegisterBits {
public:
    static std::optional<RegisterBits> Parse(std::string_view hex, std::size_t bits)
    {
        if (hex.size() != bits / 4) {
            return std::nullopt;
        }
        RegisterBits parsed;
        for (const char digit : hex) {
            if (!std::isxdigit(static_cast<unsigned char>(digit))) {
                return std::nullopt;
            }
            const int value = std::isdigit(static_cast<unsigned char>(digit))
                                  ? digit - '0'
                                  : std::tolower(static_cast<unsigned char>(digit)) - 'a' + 10;
            parsed.nibbles_.push_back(static_cast<std::uint8_t>(value));
        }
        return parsed;
    }

    // Bits high down to low, high - low < 64.
    std::uint64_t Field(std::size_t high, std::size_t low) const
    {
        std::uint64_t value = 0;
        for (std::size_t bit = high + 1; bit-- > low;) {
            const std::size_t nibble = nibbles_.size() - 1 - bit / 4;
            value = value << 1 | ((nibbles_[nibble] >> (bit % 4)) & 1);
        }
        return value;
    }

    // Characters from bytes high down to low, as a product name holds them.
    std::string Text(std::size_t high, std::size_t low) const
    {
        std::string text;
        for (std::size_t bit = high + 1; bit > low; bit -= 8) {
            const auto character = static_cast<char>(Field(bit - 1, bit - 8));
            text += std::isprint(static_cast<unsigned char>(character)) ? character : '?';
        }
        return text;
    }

private:
    std::vector<std::uint8_t> nibbles_;
};

constexpr std::size_t kCidBits = 128;
constexpr std::size_t kCsdBits = 128;
constexpr std::size_t kSsrBits = 512;

// Field positions, high bit then low, of the SD and MMC CID.
namespace sd_cid {
constexpr std::size_t mid[] = {127, 120};
constexpr std::size_t oid[] = {119, 104};
constexpr std::size_t pnm[] = {103, 64};
constexpr std::size_t prv[] = {63, 56};
constexpr std::size_t psn[] = {55, 24};
constexpr std::size_t year[] = {19, 12};  // since 2000
constexpr std::size_t month[] = {11, 8};
}  // namespace sd_cid

namespace mmc_cid {
constexpr std::size_t mid[] = {127, 120};
constexpr std::size_t oid[] = {111, 104};
constexpr std::size_t pnm[] = {103, 56};
constexpr std::size_t prv[] = {55, 48};
constexpr std::size_t psn[] = {47, 16};
constexpr std::size_t month[] = {15, 12};
constexpr std::size_t year[] = {11, 8};  // since 1997 (the 4.41 standard's cards count from 2013)
}  // namespace mmc_cid

namespace csd {
constexpr std::size_t structure[] = {127, 126};
constexpr std::size_t readBlockLength[] = {83, 80};  // log2 of the block's bytes
constexpr std::size_t deviceSize[] = {73, 62};       // the first structure's C_SIZE
constexpr std::size_t sizeMultiplier[] = {49, 47};
constexpr std::size_t deviceSizeHigh[] = {69, 48};   // SDHC and SDXC: 512 KiB units, less one
constexpr std::size_t deviceSizeUltra[] = {75, 48};  // SDUC
// An MMC card whose C_SIZE is all ones gives its capacity in EXT_CSD.
constexpr std::uint64_t mmcSizeInExtendedCsd = 0xFFF;
}  // namespace csd

namespace ssr {
constexpr std::size_t speedClass[] = {447, 440};  // 0, 1..4: classes 0, 2, 4, 6, 10
constexpr std::size_t uhsGrade[] = {399, 396};    // 1: U1, 3: U3
constexpr std::size_t videoClass[] = {391, 384};  // 6, 10, 30, 60, 90
constexpr std::size_t appClass[] = {339, 336};    // 1: A1, 2: A2
constexpr int speedClassNumbers[] = {0, 2, 4, 6, 10};
}  // namespace ssr

template <std::size_t N>
std::uint64_t Field(const RegisterBits& bits, const std::size_t (&range)[N])
{
    return bits.Field(range[0], range[1]);
}

// Through snprintf: mingw's g++ 12 misreads short string sums at -O3 (-Wrestrict).
std::string RevisionText(std::uint64_t bcd)
{
    char text[8];
    std::snprintf(text, sizeof text, "%u.%u", static_cast<unsigned>(bcd >> 4 & 0xF), static_cast<unsigned>(bcd & 0xF));
    return text;
}

std::string ClassName(char letter, std::uint64_t number)
{
    char text[8];
    std::snprintf(text, sizeof text, "%c%u", letter, static_cast<unsigned>(number));
    return text;
}

}  // namespace

std::optional<CardRegisters> DecodeCid(std::string_view hex, CardBus bus)
{
    const std::optional<RegisterBits> bits = RegisterBits::Parse(hex, kCidBits);
    if (!bits) {
        return std::nullopt;
    }
    CardRegisters cid;
    if (bus == CardBus::sd) {
        cid.manufacturerId = static_cast<std::uint8_t>(Field(*bits, sd_cid::mid));
        cid.oemId = bits->Text(sd_cid::oid[0], sd_cid::oid[1]);
        cid.productName = bits->Text(sd_cid::pnm[0], sd_cid::pnm[1]);
        cid.revision = RevisionText(Field(*bits, sd_cid::prv));
        cid.serialNumber = static_cast<std::uint32_t>(Field(*bits, sd_cid::psn));
        cid.manufactureYear = 2000 + static_cast<int>(Field(*bits, sd_cid::year));
        cid.manufactureMonth = static_cast<int>(Field(*bits, sd_cid::month));
    } else {
        cid.manufacturerId = static_cast<std::uint8_t>(Field(*bits, mmc_cid::mid));
        char oem[8];
        std::snprintf(oem, sizeof oem, "0x%02x", static_cast<unsigned>(Field(*bits, mmc_cid::oid)));
        cid.oemId = oem;
        cid.productName = bits->Text(mmc_cid::pnm[0], mmc_cid::pnm[1]);
        cid.revision = RevisionText(Field(*bits, mmc_cid::prv));
        cid.serialNumber = static_cast<std::uint32_t>(Field(*bits, mmc_cid::psn));
        cid.manufactureYear = 1997 + static_cast<int>(Field(*bits, mmc_cid::year));
        cid.manufactureMonth = static_cast<int>(Field(*bits, mmc_cid::month));
    }
    return cid;
}

std::optional<std::uint64_t> CsdCapacityBytes(std::string_view hex, CardBus bus)
{
    const std::optional<RegisterBits> bits = RegisterBits::Parse(hex, kCsdBits);
    if (!bits) {
        return std::nullopt;
    }
    const std::uint64_t structure = Field(*bits, csd::structure);
    if (bus == CardBus::sd && structure == 1) {
        return (Field(*bits, csd::deviceSizeHigh) + 1) * (std::uint64_t{512} << 10);
    }
    if (bus == CardBus::sd && structure == 2) {
        return (Field(*bits, csd::deviceSizeUltra) + 1) * (std::uint64_t{512} << 10);
    }
    const std::uint64_t size = Field(*bits, csd::deviceSize);
    if ((bus == CardBus::sd && structure != 0) || (bus == CardBus::mmc && size == csd::mmcSizeInExtendedCsd)) {
        return std::nullopt;
    }
    return (size + 1) << (Field(*bits, csd::sizeMultiplier) + 2) << Field(*bits, csd::readBlockLength);
}

std::vector<std::string> SsrClaimedClasses(std::string_view hex)
{
    const std::optional<RegisterBits> bits = RegisterBits::Parse(hex, kSsrBits);
    std::vector<std::string> classes;
    if (!bits) {
        return classes;
    }
    const std::uint64_t speed = Field(*bits, ssr::speedClass);
    if (speed >= 1 && speed < std::size(ssr::speedClassNumbers)) {
        classes.push_back(ClassName('C', static_cast<std::uint64_t>(ssr::speedClassNumbers[speed])));
    }
    if (const std::uint64_t uhs = Field(*bits, ssr::uhsGrade); uhs == 1 || uhs == 3) {
        classes.push_back(ClassName('U', uhs));
    }
    if (const std::uint64_t video = Field(*bits, ssr::videoClass);
        video == 6 || video == 10 || video == 30 || video == 60 || video == 90) {
        classes.push_back(ClassName('V', video));
    }
    if (const std::uint64_t app = Field(*bits, ssr::appClass); app == 1 || app == 2) {
        classes.push_back(ClassName('A', app));
    }
    return classes;
}
