#include "cli/job_report.h"

#include "cli/exit_status.h"
#include "format/format_job.h"

#include <cstdio>

int ReportJobEnd(int result, const std::string& path, std::string_view failureText, bool cardFaulty)
{
    switch (result) {
    case FORMAT_DONE:
        std::printf("Success \nPlease re-insert the card\n");
        return kExitFormatted;
    case FORMAT_CANCELLED:
        std::printf("Cancel\nPlease repeat the process\n");
        return kExitNotConfirmed;
    default:
        if (!failureText.empty()) {
            std::fprintf(stderr, "veltrane-format: %s: %.*s\n", path.c_str(), static_cast<int>(failureText.size()),
                         failureText.data());
        }
        std::printf("Fail\nFormat Error\n");
        return cardFaulty ? kExitCardFaulty : kExitFormatFailed;
    }
}
