#include "cli/command_line.h"

#include "cli/choice_list.h"
#include "cli/speed_classes.h"

#include <charconv>
#include <getopt.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Values of the long options that have no short form.
enum OptionValue : int {
    kCard = 256,
    kMode,
    kLabel,
    kCodePage,
    kForce,
    kVersion,
    kVerify,
    kCheckCapacity,
    kFull,
    kSpeed,
    kClass,
    kReport,
};

constexpr option kOptions[] = {
    {"card", required_argument, nullptr, kCard},
    {"mode", required_argument, nullptr, kMode},
    {"label", required_argument, nullptr, kLabel},
    {"codepage", required_argument, nullptr, kCodePage},
    {"yes", no_argument, nullptr, 'y'},
    {"force", no_argument, nullptr, kForce},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"verify", no_argument, nullptr, kVerify},
    {"check-capacity", no_argument, nullptr, kCheckCapacity},
    {"full", no_argument, nullptr, kFull},
    {"speed", no_argument, nullptr, kSpeed},
    {"class", required_argument, nullptr, kClass},
    {"report", required_argument, nullptr, kReport},
    {nullptr, 0, nullptr, 0},
};

// 0, which is no code page, for anything but digits.
unsigned CodePageNumber(std::string_view value)
{
    unsigned number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() ? number : 0;
}

// Applies one option that takes a value; false with the error set otherwise.
bool ApplyValue(int option, std::string_view value, CommandLine& line)
{
    if (option == kCard) {
        const std::optional<CardType> card = CardTypeNamed(value);
        if (!card) {
            line.error =
                "--card takes " + ChoiceList(kCardTypeRows, &CardTypeRow::name) + ", not '" + std::string(value) + "'";
            return false;
        }
        line.cardType = *card;
    } else if (option == kMode) {
        const EraseModeRow* mode = EraseModeNamed(value);
        if (mode == nullptr) {
            line.error = "--mode takes " + ChoiceList(kEraseModeRows, &EraseModeRow::name) + ", not '" +
                         std::string(value) + "'";
            return false;
        }
        line.eraseMode = mode->mode;
    } else if (option == kCodePage) {
        const std::optional<trellan::OemCodePage> page = trellan::oem_code_page(CodePageNumber(value));
        if (!page) {
            line.error = "--codepage takes 850 or 437, not '" + std::string(value) + "'";
            return false;
        }
        line.codePage = *page;
    } else {
        if (value.size() > kMaxLabelBytes) {
            line.error =
                "the label holds at most 15 bytes; '" + std::string(value) + "' has " + std::to_string(value.size());
            return false;
        }
        line.label = value;
    }
    return true;
}

// The option as the user would name it, for messages about it.
std::string OptionName(int value)
{
    for (const option& known : kOptions) {
        if (known.name != nullptr && known.val == value) {
            return std::string("--") + known.name;
        }
    }
    return std::string("-") + static_cast<char>(value);
}

}  // namespace

CommandLine ParseCommandLine(std::span<const char* const> arguments, ToolSystem tool)
{
    // getopt_long wants a program name first and may reorder what follows.
    std::vector<char*> argv{const_cast<char*>("veltrane-format")};
    for (const char* argument : arguments) {
        argv.push_back(const_cast<char*>(argument));
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size() - 1);

    CommandLine line;
    opterr = 0;
    optind = 0;  // a full restart, so that each call parses afresh
    for (;;) {
        const int value = getopt_long(argc, argv.data(), ":hy", kOptions, nullptr);
        if (value == -1) {
            break;
        }
        switch (value) {
        case 'h':
            line.request = CommandRequest::help;
            return line;
        case kVersion:
            line.request = CommandRequest::version;
            return line;
        case 'y':
            line.assumeYes = true;
            break;
        case kForce:
            line.force = true;
            break;
        case kVerify:
            line.verify = true;
            break;
        case kCheckCapacity:
            line.checkCapacity = true;
            break;
        case kFull:
            line.fullCheck = true;
            break;
        case kSpeed:
            line.speed = true;
            break;
        case kClass:
            if (SpeedClassNamed(optarg) == nullptr) {
                line.error = "--class takes " + ChoiceList(kSpeedClassRows, &SpeedClassRow::name) + ", not '" +
                             std::string(optarg) + "'";
                return line;
            }
            line.speedClass = SpeedClassNamed(optarg)->name;
            break;
        case kReport:
            line.reportPath = optarg;
            break;
        case kCodePage:
            if (tool == ToolSystem::windowsDrives) {
                line.error = "--codepage is not for Windows: FAT labels take the system's own OEM code page";
                return line;
            }
            [[fallthrough]];
        case kCard:
        case kMode:
        case kLabel:
            if (!ApplyValue(value, optarg, line)) {
                return line;
            }
            break;
        case ':':
            line.error = OptionName(optopt) + " needs a value";
            return line;
        default:
            // optopt names a known option given a value it does not take;
            // otherwise the option is unknown and only its text tells it.
            line.error = optopt != 0 && std::string_view(argv[optind - 1]).starts_with("--")
                             ? OptionName(optopt) + " takes no value"
                             : "unknown option '" + std::string(argv[optind - 1]) + "'";
            return line;
        }
    }
    const char* target = tool == ToolSystem::windowsDrives ? "drive" : "device or image";
    for (int index = optind; index < argc; ++index) {
        if (!line.path.empty()) {
            line.error = std::string("one ") + target + " at a time";
            return line;
        }
        line.path = argv[index];
    }
    if (line.path.empty()) {
        line.error = std::string("no ") + target + " named";
    } else if (line.verify && line.eraseMode != EraseMode::complete) {
        line.error = "--verify reads back a Complete erase: it needs --mode complete";
    } else if (line.fullCheck && !line.checkCapacity) {
        line.error = "--full is a mode of --check-capacity";
    } else if (!line.speedClass.empty() && !line.speed) {
        line.error = "--class judges the speed --speed measures: it needs --speed";
    }
    return line;
}
