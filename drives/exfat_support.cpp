#include "drives/exfat_support.h"

namespace {

// Values of the platform's version and processor records.
constexpr std::uint32_t kPlatformWin32Nt = 2;
constexpr std::uint8_t kProductWorkstation = 1;
constexpr std::uint16_t kSuiteStorageServer = 0x2000;
constexpr std::uint16_t kProcessorAmd64 = 9;

int DecideVistaFamily(const ExFatProbeInputs& in)
{
    if (in.minorVersion == 0) {
        if (in.productType != kProductWorkstation) {
            return EXFAT_SUPPORTED;  // Server 2008 shipped with service pack 1 built in
        }
        return in.servicePackMajor == 0 ? EXFAT_NEED_SP1 : EXFAT_SUPPORTED;
    }
    // 6.1 is Windows 7 / Server 2008 R2; later minors are outside the table.
    return in.minorVersion == 1 ? EXFAT_SUPPORTED : EXFAT_NOT_APPLICABLE;
}

int DecideXpFamily(const ExFatProbeInputs& in, DriverFileSearch search,
                   const std::function<bool(DriverFileSearch)>& driverFilePresent)
{
    if (in.servicePackMajor < 2) {
        return EXFAT_NEED_SP2_AND_PATCH;
    }
    return driverFilePresent(search) ? EXFAT_SUPPORTED : EXFAT_NEED_PATCH;
}

int DecideServer2003Family(const ExFatProbeInputs& in, const std::function<bool(DriverFileSearch)>& driverFilePresent)
{
    // 5.2 is XP Professional x64 only for a 64-bit workstation; everything
    // else of that version is a member of the Server 2003 family.
    const bool server = in.serverR2 || (in.suiteMask & kSuiteStorageServer) != 0 ||
                        in.productType != kProductWorkstation || in.processorArchitecture != kProcessorAmd64;
    if (server) {
        return in.servicePackMajor < 2 ? EXFAT_NEED_SP2 : EXFAT_SUPPORTED;
    }
    return DecideXpFamily(in, DriverFileSearch::withoutRedirection, driverFilePresent);
}

}  // namespace

int DecideExFatSupport(const std::optional<ExFatProbeInputs>& inputs,
                       const std::function<bool(DriverFileSearch)>& driverFilePresent)
{
    if (!inputs || inputs->platformId != kPlatformWin32Nt) {
        return EXFAT_NOT_APPLICABLE;
    }
    const ExFatProbeInputs& in = *inputs;
    if (in.majorVersion == 6) {
        return DecideVistaFamily(in);
    }
    if (in.majorVersion != 5) {
        return EXFAT_NOT_APPLICABLE;  // NT 4 and earlier, and 7 or later
    }
    switch (in.minorVersion) {
    case 0:
        return EXFAT_UNSUPPORTED;
    case 1:
        return DecideXpFamily(in, DriverFileSearch::plain, driverFilePresent);
    case 2:
        return DecideServer2003Family(in, driverFilePresent);
    default:
        return EXFAT_NOT_APPLICABLE;
    }
}
