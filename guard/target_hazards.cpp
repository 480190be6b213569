#include "guard/target_hazards.h"

std::vector<TargetHazard> FindHazards(const TargetIdentity& target)
{
    std::vector<TargetHazard> hazards;
    if (target.kind == DeviceKind::blockDevice) {
        const Removability removability = RemovabilityOf(target.deviceNumber);
        if (removability != Removability::removable) {
            hazards.push_back({TargetHazard::Kind::notRemovable, removability == Removability::fixed
                                                                     ? "not a removable medium"
                                                                     : "cannot tell whether it is a removable medium"});
        }
    }
    const std::vector<MountEntry> mounts = ReadMountTable();
    const std::optional<MountEntry> mount = target.kind == DeviceKind::blockDevice
                                                ? FindMountOnBlockDevice(target.deviceNumber, mounts)
                                                : FindMountOnImage(target.file, mounts);
    if (mount) {
        hazards.push_back({TargetHazard::Kind::mounted,
                           "holds a mounted file system (" + mount->source + " on " + mount->mountPoint + ")"});
    }
    return hazards;
}

std::optional<TargetHazard::Kind> RefusingHazard(const TargetIdentity& target, bool force,
                                                 const std::function<void(const std::string&)>& complain)
{
    const char* overridden = force ? " (going on: --force)" : "; nothing was written (--force overrides)";
    for (const TargetHazard& hazard : FindHazards(target)) {
        complain(hazard.text + overridden);
        if (!force) {
            return hazard.kind;
        }
    }
    return std::nullopt;
}
