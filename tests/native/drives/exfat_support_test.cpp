#include "drives/exfat_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kServer = 3;
constexpr std::uint16_t kAmd64 = 9;
constexpr std::uint16_t kX86 = 0;
constexpr std::uint16_t kStorageServer = 0x2000;

ExFatProbeInputs Nt(std::uint32_t major, std::uint32_t minor, std::uint16_t servicePack,
                    std::uint8_t product = kWorkstation, std::uint16_t architecture = kAmd64)
{
    return {.platformId = 2,
            .majorVersion = major,
            .minorVersion = minor,
            .servicePackMajor = servicePack,
            .suiteMask = 0,
            .productType = product,
            .processorArchitecture = architecture,
            .serverR2 = false};
}

ExFatProbeInputs WithR2(ExFatProbeInputs in)
{
    in.serverR2 = true;
    return in;
}

ExFatProbeInputs WithSuite(ExFatProbeInputs in, std::uint16_t suite)
{
    in.suiteMask = suite;
    return in;
}

enum class DriverFile { absent, present };
using Search = std::optional<DriverFileSearch>;  // nullopt: the file must not be looked for

TEST(ExFatSupport, DecisionTable)
{
    const struct {
        const char* system;
        std::optional<ExFatProbeInputs> inputs;
        DriverFile file;
        int answer;
        Search search;
    } cases[] = {
        {"version query failed", std::nullopt, DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
        {"9x platform",
         ExFatProbeInputs{.platformId = 1, .majorVersion = 5, .minorVersion = 1},
         DriverFile::present,
         EXFAT_NOT_APPLICABLE,
         {}},
        {"NT 4.0", Nt(4, 0, 6), DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
        {"2000", Nt(5, 0, 4), DriverFile::present, EXFAT_UNSUPPORTED, {}},
        {"XP SP1", Nt(5, 1, 1), DriverFile::present, EXFAT_NEED_SP2_AND_PATCH, {}},
        {"XP SP2 patched", Nt(5, 1, 2), DriverFile::present, EXFAT_SUPPORTED, DriverFileSearch::plain},
        {"XP SP3 patched", Nt(5, 1, 3), DriverFile::present, EXFAT_SUPPORTED, DriverFileSearch::plain},
        {"XP SP3", Nt(5, 1, 3), DriverFile::absent, EXFAT_NEED_PATCH, DriverFileSearch::plain},
        {"XP x64 SP1", Nt(5, 2, 1), DriverFile::present, EXFAT_NEED_SP2_AND_PATCH, {}},
        {"XP x64 SP2 patched", Nt(5, 2, 2), DriverFile::present, EXFAT_SUPPORTED, DriverFileSearch::withoutRedirection},
        {"XP x64 SP2", Nt(5, 2, 2), DriverFile::absent, EXFAT_NEED_PATCH, DriverFileSearch::withoutRedirection},
        {"2003 SP1", Nt(5, 2, 1, kServer), DriverFile::absent, EXFAT_NEED_SP2, {}},
        {"2003 SP2", Nt(5, 2, 2, kServer), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"5.2 workstation on x86", Nt(5, 2, 1, kWorkstation, kX86), DriverFile::absent, EXFAT_NEED_SP2, {}},
        {"2003 R2 SP0", WithR2(Nt(5, 2, 0)), DriverFile::absent, EXFAT_NEED_SP2, {}},
        {"Storage Server SP2", WithSuite(Nt(5, 2, 2), kStorageServer), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"5.3", Nt(5, 3, 0), DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
        {"Vista", Nt(6, 0, 0), DriverFile::present, EXFAT_NEED_SP1, {}},
        {"Vista SP1", Nt(6, 0, 1), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"Server 2008", Nt(6, 0, 0, kServer), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"7", Nt(6, 1, 0), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"7 SP1", Nt(6, 1, 1), DriverFile::absent, EXFAT_SUPPORTED, {}},
        {"8", Nt(6, 2, 0), DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
        {"8.1", Nt(6, 3, 0), DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
        {"10", Nt(10, 0, 0), DriverFile::present, EXFAT_NOT_APPLICABLE, {}},
    };
    for (const auto& c : cases) {
        std::vector<DriverFileSearch> searches;
        const int answer = DecideExFatSupport(c.inputs, [&](DriverFileSearch search) {
            searches.push_back(search);
            return c.file == DriverFile::present;
        });
        EXPECT_EQ(answer, c.answer) << c.system;
        const std::vector<DriverFileSearch> expected =
            c.search ? std::vector{*c.search} : std::vector<DriverFileSearch>{};
        EXPECT_EQ(searches, expected) << c.system;
    }
}

}  // namespace
