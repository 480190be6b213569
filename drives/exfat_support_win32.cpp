#include "drives/exfat_support_win32.h"

#include "drives/exfat_support.h"
#include "platform/os_version.h"

int CheckExFatSupport()
{
    OSVERSIONINFOEXA version;
    if (!GetVersionRecord(version)) {
        return DecideExFatSupport(std::nullopt, nullptr);
    }
    const ExFatProbeInputs inputs = {
        .platformId = version.dwPlatformId,
        .majorVersion = version.dwMajorVersion,
        .minorVersion = version.dwMinorVersion,
        .servicePackMajor = version.wServicePackMajor,
        .suiteMask = version.wSuiteMask,
        .productType = version.wProductType,
        .processorArchitecture = GetNativeProcessorArchitecture(),
        .serverR2 = GetSystemMetrics(SM_SERVERR2) != 0,
    };
    return DecideExFatSupport(inputs, [](DriverFileSearch search) {
        return FileExists(kExFatDriverPath, search == DriverFileSearch::withoutRedirection ? FsRedirection::disable
                                                                                           : FsRedirection::keep);
    });
}
