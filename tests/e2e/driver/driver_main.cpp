// The end-to-end driver: plays the host launcher and the user against
// Veltrane.exe. Usage: veltrane-driver [SCRIPT] (default: standard input).
// The program under test is VELTRANE_EXE, else Veltrane.exe beside the driver.
#include <windows.h>

#include <fstream>
#include <iostream>
#include <string>

#include "driver_files.h"
#include "scenario.h"

namespace {
std::string ProgramUnderTest()
{
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("VELTRANE_EXE", path, MAX_PATH) > 0)
        return path;
    return BesideDriver("Veltrane.exe");
}
}  // namespace

int main(int argc, char** argv)
{
    Scenario scenario(ProgramUnderTest());
    int failures = 0;
    if (argc > 1) {
        std::ifstream script(argv[1]);
        if (!script) {
            std::cout << "FAIL: cannot read " << argv[1] << std::endl;
            return 2;
        }
        failures = scenario.Run(script);
    } else {
        failures = scenario.Run(std::cin);
    }
    std::cout << (failures == 0 ? "scenario passed" : "scenario FAILED") << std::endl;
    return failures == 0 ? 0 : 1;
}
