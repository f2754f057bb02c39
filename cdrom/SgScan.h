// Finding the real drives: the /dev/srN nodes and the SCSI generic devices
// (/dev/sgN) that sysfs lists with their host adapter, target and device type.
// Both roots can be pointed elsewhere, so tests scan a fake tree.
#pragma once

#include <string>
#include <vector>

namespace sv {

struct SgDeviceInfo {
    int number = -1;       // N of sgN
    std::string node;      // devRoot + "/sgN"
    int host = -1, channel = -1, target = -1, lun = -1;
    int type = -1;         // 5 = CD/DVD drive
    std::string blockName; // "srM" when the sr driver has bound the same device, else empty
};

inline constexpr int kScsiTypeCdrom = 5;

// Every sgN under sysRoot/class/scsi_generic, by number. Entries whose
// address or type cannot be read are left out.
std::vector<SgDeviceInfo> ScanScsiGeneric(const std::string& sysRoot, const std::string& devRoot);

// The CD/DVD drives among them, ordered by host adapter and target (the
// order in which an adapter scan meets them).
std::vector<SgDeviceInfo> CdromScsiGeneric(const std::vector<SgDeviceInfo>& all);

// The numbers N of the srN nodes in devRoot, ascending.
std::vector<int> ScanSrNodes(const std::string& devRoot);

// Parses "host:channel:target:lun".
bool ParseScsiAddress(const std::string& text, int& host, int& channel, int& target, int& lun);

}  // namespace sv
