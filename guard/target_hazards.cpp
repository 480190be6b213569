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
