#include "cli/card_report.h"

#include "cli/exit_status.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (character == '"' || character == '\\') {
            quoted += '\\';
            quoted += character;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
        } else {
            quoted += character;
        }
    }
    return quoted + "\"";
}

template <class Number>
std::string NumberOrNull(const std::optional<Number>& value)
{
    return value ? std::to_string(*value) : "null";
}

std::string Rate(double bytesPerSecond)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", bytesPerSecond / kMegabytePerSecond);
    return text;
}

std::string Count(double perSecond)
{
    return std::to_string(static_cast<std::uint64_t>(perSecond + 0.5));
}

std::string TimeText(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string Strings(const std::vector<std::string>& texts)
{
    std::string list = "[";
    for (const std::string& text : texts) {
        list += (list.size() > 1 ? ", " : "") + Quoted(text);
    }
    return list + "]";
}

std::string MonthText(int year, int month)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", year, month);
    return text;
}

std::string IdentityJson(const std::optional<CardIdentity>& identity)
{
    if (!identity) {
        return "null";
    }
    std::string json = "{\"bus\": " + Quoted(identity->bus);
    if (const std::optional<CardRegisters>& cid = identity->cid) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "0x%08x", static_cast<unsigned>(cid->serialNumber));
        json += ", \"manufacturer_id\": " + std::to_string(cid->manufacturerId) +
                ", \"oem_id\": " + Quoted(cid->oemId) + ", \"product_name\": " + Quoted(cid->productName) +
                ", \"revision\": " + Quoted(cid->revision) + ", \"serial_number\": " + Quoted(serial) +
                ", \"manufactured\": " + Quoted(MonthText(cid->manufactureYear, cid->manufactureMonth));
    }
    json += ", \"csd_capacity_bytes\": " + NumberOrNull(identity->csdCapacityBytes) +
            ", \"device_bytes\": " + NumberOrNull(identity->deviceBytes) +
            ", \"claimed_classes\": " + Strings(identity->claimedClasses);
    if (!identity->readerVendor.empty() || !identity->readerModel.empty()) {
        json += ", \"reader_vendor\": " + Quoted(identity->readerVendor) +
                ", \"reader_model\": " + Quoted(identity->readerModel);
    }
    return json + "}";
}

std::string CapacityJson(const RunRecord& run)
{
    std::string json = "{\"reported_bytes\": " + NumberOrNull(run.reportedBytes);
    if (!run.capacity) {
        return json + ", \"checked\": false, \"real_bytes\": null, \"verdict\": \"not checked\"}";
    }
    const CapacityFinding& finding = *run.capacity;
    return json + ", \"checked\": true, \"real_bytes\": " + std::to_string(finding.usableBytes) +
           ", \"verdict\": " + (finding.Passed() ? "\"passed\"" : "\"failed\"") +
           ", \"probes_checked\": " + std::to_string(finding.probesChecked) +
           ", \"probes_wrong\": " + std::to_string(finding.probesWrong) +
           ", \"probes_aliased\": " + std::to_string(finding.probesAliased) +
           ", \"wrap_bytes\": " + NumberOrNull(finding.aliasDistanceBytes) +
           ", \"first_wrong_offset\": " + NumberOrNull(finding.firstWrongOffset) + "}";
}

std::string RegionJson(const RegionSpeed& region)
{
    return "{\"offset_bytes\": " + std::to_string(region.offsetBytes) +
           ", \"length_bytes\": " + std::to_string(region.lengthBytes) +
           ", \"write_mb_s\": " + Rate(region.writeBytesPerSecond) +
           ", \"read_mb_s\": " + Rate(region.readBytesPerSecond) + "}";
}

std::string SpeedJson(const RunRecord& run)
{
    if (!run.speed) {
        return "null";
    }
    const SpeedFigures& speed = *run.speed;
    std::string json = "{\"sample_bytes\": " + std::to_string(speed.sampleBytes) + ", \"regions\": [";
    for (std::size_t r = 0; r < speed.regions.size(); ++r) {
        json += (r == 0 ? "\n      " : ",\n      ") + RegionJson(speed.regions[r]);
    }
    json += "]";
    if (!speed.regions.empty()) {
        json += ", \"slowest_write\": " + RegionJson(speed.SlowestWriteRegion()) +
                ", \"slowest_read\": " + RegionJson(speed.SlowestReadRegion());
    }
    json += ", \"random_read_iops\": " + Count(speed.randomReadsPerSecond) +
            ", \"random_write_iops\": " + Count(speed.randomWritesPerSecond) +
            ", \"failed_offset\": " + NumberOrNull(speed.failedOffset) + ", \"classes\": [";
    for (std::size_t v = 0; v < run.verdicts.size(); ++v) {
        const ClassVerdict& verdict = run.verdicts[v];
        json += (v == 0 ? "" : ", ") + std::string("{\"class\": ") + Quoted(verdict.className) +
                ", \"source\": " + Quoted(verdict.source) + ", \"kept\": " + (verdict.Kept() ? "true" : "false") +
                ", \"failures\": " + Strings(verdict.failures) + "}";
    }
    return json + "]}";
}

std::string VerifyJson(const std::optional<VerifyRecord>& verify)
{
    if (!verify) {
        return "null";
    }
    return std::string("{\"passed\": ") + (verify->passed ? "true" : "false") +
           ", \"first_bad_offset\": " + NumberOrNull(verify->firstBadOffset) + "}";
}

bool WriteReport(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

RunRecord& ThisRun()
{
    static RunRecord run;
    return run;
}

std::string ReportJson(const RunRecord& run, const std::string& tool, const std::string& version)
{
    return "{\n  \"tool\": " + Quoted(tool) + ",\n  \"version\": " + Quoted(version) +
           ",\n  \"card\": " + Quoted(run.card) + ",\n  \"identity\": " + IdentityJson(run.identity) +
           ",\n  \"capacity\": " + CapacityJson(run) + ",\n  \"speed\": " + SpeedJson(run) +
           ",\n  \"verify\": " + VerifyJson(run.verify) + ",\n  \"started\": " + Quoted(TimeText(run.started)) +
           ",\n  \"ended\": " + Quoted(TimeText(run.ended)) +
           ",\n  \"exit_status\": " + std::to_string(run.exitStatus) + "\n}\n";
}

std::string DescribeIdentity(const CardIdentity& identity)
{
    if (!identity.cid) {
        return "Card reader: " + identity.bus + ", \"" + identity.readerVendor + "\" \"" + identity.readerModel +
               "\" (a reader does not show the card's own registers).\n";
    }
    const CardRegisters& cid = *identity.cid;
    char serial[16];
    std::snprintf(serial, sizeof serial, "0x%08x", static_cast<unsigned>(cid.serialNumber));
    std::string text = "Card: " + identity.bus + " card in a native slot; manufacturer id " +
                       std::to_string(cid.manufacturerId) + ", OEM \"" + cid.oemId + "\", product \"" +
                       cid.productName + "\" revision " + cid.revision + ", serial " + serial + ", made " +
                       MonthText(cid.manufactureYear, cid.manufactureMonth) + ".\n";
    if (!identity.claimedClasses.empty()) {
        text += "It claims the speed classes";
        for (const std::string& claimed : identity.claimedClasses) {
            text += " " + claimed;
        }
        text += ".\n";
    }
    if (identity.csdCapacityBytes && identity.deviceBytes && *identity.csdCapacityBytes != *identity.deviceBytes) {
        text += "Its CSD register gives " + std::to_string(*identity.csdCapacityBytes) +
                " bytes, but the device reports " + std::to_string(*identity.deviceBytes) + " bytes.\n";
    }
    return text;
}

std::string ReportPathProblem(const std::string& reportPath, const std::string& card)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(reportPath, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return "not a regular file";
    }
    if (fs::exists(status) && fs::equivalent(reportPath, card, error) && !error) {
        return "that is the card itself";
    }
    // Opened to append, so that nothing is lost yet; the report replaces it at the end.
    std::FILE* file = std::fopen(reportPath.c_str(), "ab");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    return "";
}

int RunReported(int argc, char** argv, ToolSystem tool, const char* version, CardIdentifier identify,
                ProgramEntry program)
{
    const CommandLine line = ParseCommandLine({argv + 1, static_cast<std::size_t>(argc - 1)}, tool);
    if (line.request != CommandRequest::format || !line.error.empty()) {
        return program(argc, argv);
    }
    RunRecord& run = ThisRun();
    run.started = std::chrono::system_clock::now();
    run.card = line.path;
    if (!line.reportPath.empty()) {
        if (const std::string problem = ReportPathProblem(line.reportPath, line.path); !problem.empty()) {
            std::fprintf(stderr, "veltrane-format: --report %s: %s; nothing was written\n", line.reportPath.c_str(),
                         problem.c_str());
            return kExitUsage;
        }
    }
    if (identify != nullptr) {
        run.identity = identify(line.path);
        if (run.identity) {
            std::fputs(DescribeIdentity(*run.identity).c_str(), stdout);
            std::fflush(stdout);
        }
    }
    int status = program(argc, argv);
    if (status == kExitFormatted) {
        for (const ClassVerdict& verdict : run.verdicts) {
            if (!verdict.Kept()) {
                std::fprintf(stderr, "veltrane-format: %s: formatted, but the card does not keep class %s\n",
                             line.path.c_str(), verdict.className.c_str());
                status = kExitSlowCard;
            }
        }
    }
    run.ended = std::chrono::system_clock::now();
    run.exitStatus = status;
    if (!line.reportPath.empty()) {
        if (!WriteReport(line.reportPath, ReportJson(run, "veltrane-format", version))) {
            std::fprintf(stderr, "veltrane-format: --report %s: %s\n", line.reportPath.c_str(), std::strerror(errno));
            return status;
        }
        std::fprintf(stderr, "Report written to %s.\n", line.reportPath.c_str());
    }
    return status;
}
