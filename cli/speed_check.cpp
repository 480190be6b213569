#include "cli/speed_check.h"

#include "cli/run_record.h"
#include "cli/speed_test.h"

#include <cstdio>

bool CheckSpeed(CardBlocks& card, std::uint64_t lengthBytes, const std::string& className)
{
    const SpeedFigures figures = MeasureSpeed(card, PlanSpeedTest(lengthBytes), stderr);
    RunRecord& run = ThisRun();
    run.reportedBytes = run.reportedBytes.value_or(lengthBytes);
    run.speed = figures;
    if (figures.failedOffset) {
        std::fprintf(stderr, "The speed test stopped: the card did not take or give back the bytes at offset %llu.\n",
                     static_cast<unsigned long long>(*figures.failedOffset));
        return false;
    }
    const auto judge = [&](const std::string& name, const char* source) {
        if (const SpeedClassRow* row = SpeedClassNamed(name)) {
            run.verdicts.push_back(JudgeSpeedClass(*row, figures.Measured(), source));
        }
    };
    if (!className.empty()) {
        judge(className, "--class");
    }
    if (run.identity) {
        for (const std::string& claimed : run.identity->claimedClasses) {
            judge(claimed, "the card's SD Status register");
        }
    }
    std::fputs((SpeedChart(figures) + DescribeVerdicts(run.verdicts)).c_str(), stdout);
    std::fflush(stdout);
    return true;
}
