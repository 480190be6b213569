// veltrane-format's command line: the choices the dialog's controls hold.
#pragma once

#include "format/format_plan.h"
#include "trellan/oem_code_pages.h"

#include <span>
#include <string>

// The dialog's label field takes 15 characters; the job passes 16 bytes with the NUL.
inline constexpr std::size_t kMaxLabelBytes = 15;

enum class CommandRequest { format, help, version };

// Which veltrane-format: the Linux one names a device or image file, the
// Windows one a drive letter and stores labels in the system's code page.
enum class ToolSystem { linuxDevices, windowsDrives };

struct CommandLine {
    CommandRequest request = CommandRequest::format;
    CardType cardType = kCardTypeRows[0].type;  // the dialog's first radio, as with no settings
    EraseMode eraseMode = EraseMode::none;      // both check boxes clear, as the dialog opens
    std::string label = "BREVALD";              // the dialog's default label, UTF-8
    // FAT labels are stored in an OEM code page; 850 is what Linux mounts FAT with by default.
    trellan::OemCodePage codePage = trellan::OemCodePage::cp850;
    bool assumeYes = false;
    bool force = false;
    bool verify = false;         // read the card back after a Complete erase
    bool checkCapacity = false;  // test the card's real capacity before the format
    bool fullCheck = false;      // every block, not a spread of them
    bool speed = false;          // measure the card's speed region by region before the format
    std::string speedClass;      // judge the speed against this class (--class), "" for none
    std::string reportPath;      // write what the run measured here as JSON (--report), "" for none
    std::string path;            // the device or image; on Windows the drive, "E:"
    std::string error;           // non-empty: the command line is not usable
};

// arguments without the program name.
CommandLine ParseCommandLine(std::span<const char* const> arguments, ToolSystem tool = ToolSystem::linuxDevices);
