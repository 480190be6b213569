// Whether the running Windows reads exFAT, and if not, which upgrade it
// lacks: a decision on the system's version record, kept apart from the
// calls that gather it so that every row can be tested anywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

enum ExFatSupport : int {
    EXFAT_NOT_APPLICABLE = 0,  // version unknown, or a system outside the table
    EXFAT_SUPPORTED = 1,
    EXFAT_NEED_SP1 = 2,            // Vista without a service pack
    EXFAT_NEED_SP2 = 3,            // Server 2003 family before service pack 2
    EXFAT_NEED_PATCH = 4,          // XP (x64) from service pack 2 on, driver missing
    EXFAT_UNSUPPORTED = 5,         // Windows 2000
    EXFAT_NEED_SP2_AND_PATCH = 6,  // XP (x64) before service pack 2
};

// The fields of the version and processor records the decision looks at,
// and the Server 2003 R2 metric.
struct ExFatProbeInputs {
    std::uint32_t platformId = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
    std::uint16_t processorArchitecture = 0;
    bool serverR2 = false;
};

// XP x64 looks for the driver with the 32-bit file-system redirection
// switched off, so that system32 names the 64-bit system's own folder.
enum class DriverFileSearch { plain, withoutRedirection };

// The exFAT driver file, at this fixed path whatever the system folder is.
inline constexpr const char* kExFatDriverPath = "C:\\WINDOWS\\system32\\drivers\\exfat.sys";

// inputs: nullopt when the version query failed. driverFilePresent is asked
// only on the XP systems whose answer depends on the driver file.
int DecideExFatSupport(const std::optional<ExFatProbeInputs>& inputs,
                       const std::function<bool(DriverFileSearch)>& driverFilePresent);
