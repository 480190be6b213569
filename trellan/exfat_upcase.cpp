#include "trellan/exfat_upcase.h"

#include <array>

#include "trellan/byte_order.h"
#include "trellan/exfat_checksum.h"

namespace trellan {
namespace {

// One run of lower-case code units: every step-th unit from first to last
// maps to itself plus delta. Step 2 describes the Latin and Cyrillic blocks
// where upper and lower case alternate.
struct CaseRun {
    char16_t first;
    char16_t last;
    std::int32_t delta;
    std::uint8_t step;
};

constexpr CaseRun single(char16_t unit, std::int32_t delta)
{
    return {unit, unit, delta, 1};
}

constexpr std::array case_runs{
    // Basic Latin, Latin-1 (not the micro sign, not the division sign).
    CaseRun{0x0061, 0x007A, -0x20, 1},
    CaseRun{0x00E0, 0x00F6, -0x20, 1},
    CaseRun{0x00F8, 0x00FE, -0x20, 1},
    single(0x00FF, 0x79),
    // Latin Extended-A: alternating pairs; dotless i, kra, 'n and long s stay.
    CaseRun{0x0101, 0x012F, -1, 2},
    CaseRun{0x0133, 0x0137, -1, 2},
    CaseRun{0x013A, 0x0148, -1, 2},
    CaseRun{0x014B, 0x0177, -1, 2},
    CaseRun{0x017A, 0x017E, -1, 2},
    // Latin Extended-B.
    single(0x0180, 0xC3),
    CaseRun{0x0183, 0x0185, -1, 2},
    single(0x0188, -1),
    single(0x018C, -1),
    single(0x0192, -1),
    single(0x0195, 0x61),
    single(0x0199, -1),
    single(0x019A, 0xA3),
    single(0x019E, 0x82),
    CaseRun{0x01A1, 0x01A5, -1, 2},
    single(0x01A8, -1),
    single(0x01AD, -1),
    single(0x01B0, -1),
    CaseRun{0x01B4, 0x01B6, -1, 2},
    single(0x01B9, -1),
    single(0x01BD, -1),
    single(0x01BF, 0x38),
    single(0x01C6, -2),
    single(0x01C9, -2),
    single(0x01CC, -2),
    CaseRun{0x01CE, 0x01DC, -1, 2},
    single(0x01DD, -0x4F),
    CaseRun{0x01DF, 0x01EF, -1, 2},
    single(0x01F3, -2),
    single(0x01F5, -1),
    CaseRun{0x01F9, 0x021F, -1, 2},
    CaseRun{0x0223, 0x0233, -1, 2},
    // The recommended table maps these two capitals to their small forms.
    single(0x023A, 0x2A2B),
    single(0x023C, -1),
    single(0x023E, 0x2A28),
    single(0x0242, -1),
    CaseRun{0x0247, 0x024F, -1, 2},
    // IPA extensions with capitals elsewhere.
    single(0x0253, -0xD2),
    single(0x0254, -0xCE),
    CaseRun{0x0256, 0x0257, -0xCD, 1},
    single(0x0259, -0xCA),
    single(0x025B, -0xCB),
    single(0x0260, -0xCD),
    single(0x0263, -0xCF),
    single(0x0268, -0xD1),
    single(0x0269, -0xD3),
    single(0x026B, 0x29F7),
    single(0x026F, -0xD3),
    single(0x0272, -0xD5),
    single(0x0275, -0xD6),
    single(0x027D, 0x29E7),
    single(0x0280, -0xDA),
    single(0x0283, -0xDA),
    single(0x0288, -0xDA),
    single(0x0289, -0x45),
    CaseRun{0x028A, 0x028B, -0xD9, 1},
    single(0x028C, -0x47),
    single(0x0292, -0xDB),
    // Greek and Coptic.
    CaseRun{0x037B, 0x037D, 0x82, 1},
    single(0x03AC, -0x26),
    CaseRun{0x03AD, 0x03AF, -0x25, 1},
    CaseRun{0x03B1, 0x03C1, -0x20, 1},
    single(0x03C2, -0x1F),
    CaseRun{0x03C3, 0x03CB, -0x20, 1},
    single(0x03CC, -0x40),
    CaseRun{0x03CD, 0x03CE, -0x3F, 1},
    CaseRun{0x03D9, 0x03EF, -1, 2},
    single(0x03F2, 7),
    single(0x03F8, -1),
    single(0x03FB, -1),
    // Cyrillic and its supplement.
    CaseRun{0x0430, 0x044F, -0x20, 1},
    CaseRun{0x0450, 0x045F, -0x50, 1},
    CaseRun{0x0461, 0x0481, -1, 2},
    CaseRun{0x048B, 0x04BF, -1, 2},
    CaseRun{0x04C2, 0x04CE, -1, 2},
    single(0x04CF, -0x0F),
    CaseRun{0x04D1, 0x0513, -1, 2},
    // Armenian.
    CaseRun{0x0561, 0x0586, -0x30, 1},
    // Phonetic extensions, Latin Extended Additional.
    single(0x1D7D, 0xEE6),
    CaseRun{0x1E01, 0x1E95, -1, 2},
    CaseRun{0x1EA1, 0x1EF9, -1, 2},
    // Greek Extended: the small letter with its capital eight units on.
    CaseRun{0x1F00, 0x1F07, 8, 1},
    CaseRun{0x1F10, 0x1F15, 8, 1},
    CaseRun{0x1F20, 0x1F27, 8, 1},
    CaseRun{0x1F30, 0x1F37, 8, 1},
    CaseRun{0x1F40, 0x1F45, 8, 1},
    CaseRun{0x1F51, 0x1F57, 8, 2},
    CaseRun{0x1F60, 0x1F67, 8, 1},
    CaseRun{0x1F70, 0x1F71, 0x4A, 1},
    CaseRun{0x1F72, 0x1F75, 0x56, 1},
    CaseRun{0x1F76, 0x1F77, 0x64, 1},
    CaseRun{0x1F78, 0x1F79, 0x80, 1},
    CaseRun{0x1F7A, 0x1F7B, 0x70, 1},
    CaseRun{0x1F7C, 0x1F7D, 0x7E, 1},
    CaseRun{0x1F80, 0x1F87, 8, 1},
    CaseRun{0x1F90, 0x1F97, 8, 1},
    CaseRun{0x1FA0, 0x1FA7, 8, 1},
    CaseRun{0x1FB0, 0x1FB1, 8, 1},
    single(0x1FB3, 9),
    single(0x1FCC, -9),
    CaseRun{0x1FD0, 0x1FD1, 8, 1},
    CaseRun{0x1FE0, 0x1FE1, 8, 1},
    single(0x1FE5, 7),
    single(0x1FFC, -9),
    // Letterlike symbols, number forms, enclosed alphanumerics.
    single(0x214E, -0x1C),
    CaseRun{0x2170, 0x217F, -0x10, 1},
    single(0x2184, -1),
    CaseRun{0x24D0, 0x24E9, -0x1A, 1},
    // Glagolitic, Latin Extended-C, Coptic, Georgian supplement.
    CaseRun{0x2C30, 0x2C5E, -0x30, 1},
    single(0x2C61, -1),
    CaseRun{0x2C68, 0x2C6C, -1, 2},
    single(0x2C76, -1),
    CaseRun{0x2C81, 0x2CE3, -1, 2},
    CaseRun{0x2D00, 0x2D25, -0x1C60, 1},
    // Fullwidth Latin.
    CaseRun{0xFF41, 0xFF5A, -0x20, 1},
};

// Runs of self-mapping units at least this long are stored as FFFFh, length.
// The recommended table compresses its four long gaps (843 units and more)
// and spells out the shorter ones (337 units and fewer); any threshold in
// between gives the same bytes.
constexpr std::uint32_t compressed_run_min_units = 512;
constexpr std::uint16_t compression_mark = 0xFFFF;
constexpr std::uint32_t code_units = 0x10000;

std::array<char16_t, code_units> expanded_table()
{
    std::array<char16_t, code_units> table{};
    for (std::uint32_t unit = 0; unit < code_units; ++unit) {
        table[unit] = static_cast<char16_t>(unit);
    }
    for (const CaseRun& run : case_runs) {
        for (std::uint32_t unit = run.first; unit <= run.last; unit += run.step) {
            table[unit] = static_cast<char16_t>(static_cast<std::int32_t>(unit) + run.delta);
        }
    }
    return table;
}

}  // namespace

char16_t exfat_upcase(char16_t unit)
{
    for (const CaseRun& run : case_runs) {
        if (unit >= run.first && unit <= run.last && (unit - run.first) % run.step == 0) {
            return static_cast<char16_t>(static_cast<std::int32_t>(unit) + run.delta);
        }
    }
    return unit;
}

std::vector<std::uint8_t> exfat_upcase_table_bytes()
{
    const auto table = expanded_table();
    std::vector<std::uint16_t> stored;
    std::uint32_t unit = 0;
    while (unit < code_units) {
        std::uint32_t run_end = unit;
        while (run_end < code_units && table[run_end] == run_end) {
            ++run_end;
        }
        if (run_end - unit >= compressed_run_min_units) {
            stored.push_back(compression_mark);
            stored.push_back(static_cast<std::uint16_t>(run_end - unit));
            unit = run_end;
        } else {
            stored.push_back(table[unit]);
            ++unit;
        }
    }
    std::vector<std::uint8_t> bytes(stored.size() * 2);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        store_le16(bytes, i * 2, stored[i]);
    }
    return bytes;
}

std::uint32_t exfat_upcase_checksum(std::span<const std::uint8_t> table)
{
    std::uint32_t sum = 0;
    for (std::uint8_t byte : table) {
        sum = exfat_checksum_step(sum, byte);
    }
    return sum;
}

}  // namespace trellan
