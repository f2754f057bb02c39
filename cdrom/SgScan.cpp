#include "cdrom/SgScan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace sv {

namespace fs = std::filesystem;

namespace {

// N of a name "prefixN"; -1 otherwise.
int NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    int n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

bool ReadIntFile(const fs::path& p, int& value) {
    std::ifstream in(p);
    return static_cast<bool>(in >> value);
}

}  // namespace

bool ParseScsiAddress(const std::string& text, int& host, int& channel, int& target, int& lun) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%d:%d:%d:%d%c", &host, &channel, &target, &lun, &tail) == 4 && host >= 0 &&
           channel >= 0 && target >= 0 && lun >= 0;
}

std::vector<SgDeviceInfo> ScanScsiGeneric(const std::string& sysRoot, const std::string& devRoot) {
    std::vector<SgDeviceInfo> found;
    std::error_code ec;
    const fs::path classDir = fs::path(sysRoot) / "class" / "scsi_generic";
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        SgDeviceInfo info;
        info.number = NumberAfter(it->path().filename().string(), "sg");
        if (info.number < 0) continue;
        const fs::path device = it->path() / "device";
        // The device link points at the SCSI device, named host:channel:target:lun.
        std::error_code ec2;
        const fs::path target = fs::canonical(device, ec2);
        if (ec2 || !ParseScsiAddress(target.filename().string(), info.host, info.channel, info.target, info.lun))
            continue;
        if (!ReadIntFile(device / "type", info.type)) continue;
        for (fs::directory_iterator b(device / "block", ec2), bend; !ec2 && b != bend; b.increment(ec2)) {
            if (NumberAfter(b->path().filename().string(), "sr") >= 0) info.blockName = b->path().filename().string();
        }
        info.node = (fs::path(devRoot) / ("sg" + std::to_string(info.number))).string();
        found.push_back(info);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return found;
}

std::vector<SgDeviceInfo> CdromScsiGeneric(const std::vector<SgDeviceInfo>& all) {
    std::vector<SgDeviceInfo> cd;
    for (const auto& d : all)
        if (d.type == kScsiTypeCdrom && d.lun == 0) cd.push_back(d);
    std::stable_sort(cd.begin(), cd.end(), [](const auto& a, const auto& b) {
        return a.host != b.host ? a.host < b.host : a.target < b.target;
    });
    return cd;
}

std::vector<int> ScanSrNodes(const std::string& devRoot) {
    std::vector<int> numbers;
    std::error_code ec;
    for (fs::directory_iterator it(devRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const int n = NumberAfter(it->path().filename().string(), "sr");
        if (n >= 0) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

}  // namespace sv
