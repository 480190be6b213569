#include "ui/swallowed_keys.h"

#include <gtest/gtest.h>

namespace {

TEST(SwallowedKeys, EnterEscapeAndExecuteNeverReachTheDialogWhateverTheLayoutCallsThem)
{
    struct Case {
        const char* name;
        unsigned virtualKey;
        bool swallowed;
    };
    const Case cases[] = {
        {"Enter", 0x0D, true},    {"Num Enter", 0x0D, true}, {"Esc", 0x1B, true},     {"Return", 0x0D, true},
        {"KP_Enter", 0x0D, true}, {"Escape", 0x1B, true},    {"Eingabe", 0x0D, true}, {"Échap", 0x1B, true},
        {"", 0x0D, true},         {"Enter", 0x00, true},     {"Tab", 0x09, false},    {"A", 0x41, false},
        {"F4", 0x73, false},      {"enter", 0x45, false},    {"Space", 0x20, false},  {"Execute", 0x2B, true},
        {"", 0x2B, true},         {"Help", 0x2F, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSwallowedKey(c.name, c.virtualKey), c.swallowed) << c.name << " " << c.virtualKey;
}

}  // namespace
