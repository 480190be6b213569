// Drives Trellan.dll the way the program does, on a virtual card reader:
//   trellan_builder_test build NAME LETTER [LABEL]   exit 0 when the builder succeeds
//   trellan_builder_test refuse NAME LETTER          exit 0 when the builder fails
//   trellan_builder_test probe LETTER                exit 0 when the probe answers 0 or
//                                                    a byte that lets the drive be offered,
//                                                    and writes no byte past the one
#include <cstdio>
#include <cstring>
#include <string>

#include "trellan/trellan.h"

namespace {

using Builder = int (*)(char, char*);

Builder builder_named(const std::string& name)
{
    if (name == "cf")
        return Trellan_BuildCf;
    if (name == "exfat")
        return Trellan_BuildExFat;
    if (name == "fat32")
        return Trellan_BuildFat32;
    if (name == "sd")
        return Trellan_BuildSd;
    if (name == "mmc")
        return Trellan_BuildMmc;
    return nullptr;
}

// The program hands over a 16-byte label buffer; the library may not write to it.
int build(Builder builder, char letter, const char* label, bool expect_success)
{
    char buffer[16] = {};
    char* passed = nullptr;
    if (label != nullptr) {
        std::strncpy(buffer, label, sizeof(buffer) - 1);
        passed = buffer;
    }
    char before[16];
    std::memcpy(before, buffer, sizeof(buffer));
    const int result = builder(letter, passed);
    std::printf("result %d\n", result);
    if (std::memcmp(before, buffer, sizeof(buffer)) != 0) {
        std::printf("label buffer changed\n");
        return 1;
    }
    return (result != 0) == expect_success ? 0 : 1;
}

int probe(char letter)
{
    unsigned char bytes[3] = {0xA5, 0xA5, 0xA5};
    const int result = Trellan_ProbeDevice(letter, &bytes[1]);
    std::printf("result %d byte %02X\n", result, bytes[1]);
    if (bytes[0] != 0xA5 || bytes[2] != 0xA5 || (result == 0 && bytes[1] != 0xA5)) {
        std::printf("probe wrote outside its byte\n");
        return 1;
    }
    if (Trellan_ProbeDevice(letter, nullptr) != 0) {
        std::printf("probe accepted a null byte pointer\n");
        return 1;
    }
    return result != 0 && (bytes[1] & 0x0F) == 0x0C ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "probe" && argc == 3) {
        return probe(argv[2][0]);
    }
    if ((mode == "build" || mode == "refuse") && (argc == 4 || argc == 5)) {
        const Builder builder = builder_named(argv[2]);
        if (builder != nullptr) {
            return build(builder, argv[3][0], argc == 5 ? argv[4] : nullptr, mode == "build");
        }
    }
    std::fprintf(stderr, "usage: trellan_builder_test build|refuse NAME LETTER [LABEL] | probe LETTER\n");
    return 2;
}
