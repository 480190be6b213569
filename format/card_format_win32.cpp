#include "format/card_format_win32.h"

#include <utility>

#include "drives/exfat_support_win32.h"
#include "drives/raw_volume_win32.h"
#include "trellan/trellan.h"

// The exFAT build keeps the card's flash parameters through the job's hold
// on the card, which the library joins: the job left them there.
int TrellanLibrary::Build(trellan::Builder builder, char driveLetter, char* label,
                          const std::optional<trellan::ExfatOemSector>& /*oemParameters*/)
{
    switch (builder) {
    case trellan::Builder::cf:
        return Trellan_BuildCf(driveLetter, label);
    case trellan::Builder::exfat:
        return Trellan_BuildExFat(driveLetter, label);
    case trellan::Builder::fat32:
        return Trellan_BuildFat32(driveLetter, label);
    case trellan::Builder::sd:
        return Trellan_BuildSd(driveLetter, label);
    case trellan::Builder::mmc:
        return Trellan_BuildMmc(driveLetter, label);
    }
    return 0;
}

std::optional<CardSample> SampleDriveCard(char driveLetter)
{
    Win32RawVolumeOpener volumes;
    return SampleCardIn(volumes, driveLetter);
}

namespace {

// The dialog's builders: a build that fails ends in a box that says so,
// not in a bare "Fail".
class ExplainedLibrary : public CardLibrary {
public:
    explicit ExplainedLibrary(FormatJobDialog& dialog) : m_dialog(dialog) {}

    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>& oemParameters) override
    {
        const int built = m_builders.Build(builder, driveLetter, label, oemParameters);
        if (built == 0) {
            m_dialog.ShowText(kBuildFailedText);
        }
        return built;
    }

private:
    FormatJobDialog& m_dialog;
    TrellanLibrary m_builders;
};

}  // namespace

int FormatCard(FormatJobInputs inputs, FormatJobDialog& dialog)
{
    ExplainedLibrary library(dialog);
    return FormatCard(std::move(inputs), dialog, library);
}

int FormatCard(FormatJobInputs inputs, FormatJobDialog& dialog, CardLibrary& library)
{
    Win32RawVolumeOpener volumes;
    return RunFormatJob(std::move(inputs), volumes, dialog, library, CheckExFatSupport);
}
