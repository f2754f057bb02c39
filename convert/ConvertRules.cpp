#include "convert/ConvertRules.h"

#include <algorithm>
#include <filesystem>

#include "base/Text.h"

namespace sv {

namespace fs = std::filesystem;

bool DecodedCompletely(std::uint64_t written, std::uint64_t expected, std::uint32_t rate, std::uint32_t channels,
                       std::uint32_t bits) {
    if (written >= expected) return true;
    const std::uint64_t allowance = std::uint64_t{rate} * 2 * channels * bits;
    return expected - written < allowance;
}

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 100;
    // done < total here, so done x 100 cannot overflow for any file size.
    return static_cast<int>((done * 100 + total / 2) / total);
}

std::string ProgressStatus(const std::string& prefix, int percent, const std::string& word) {
    return prefix + std::to_string(percent) + "% " + word;
}

std::string ConvertOutputFolder(const std::string& sourceFolder, const std::string& outputFolder,
                                bool keepSourceLocation) {
    // The converter's old default was the root of the first disk; an empty
    // output folder now means "beside the source".
    std::string folder = (keepSourceLocation || outputFolder.empty()) ? sourceFolder : outputFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::optional<std::string> ConvertOutputPath(const std::string& folder, const std::string& sourceName,
                                             const std::string& extension) {
    if (sourceName.find('/') != std::string::npos) return std::nullopt;
    std::string name = sourceName;
    if (!extension.empty()) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
        name += extension;
    }
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    return folder + name;
}

std::string ReencodeOutputPath(const std::string& source, const std::string& output) {
    std::error_code ec1, ec2;
    const fs::path a = fs::weakly_canonical(source, ec1);
    const fs::path b = fs::weakly_canonical(output, ec2);
    const bool same = (!ec1 && !ec2) ? a == b : fs::path(source).lexically_normal() == fs::path(output).lexically_normal();
    if (!same) return output;
    std::string base = fs::path(output).lexically_normal().string();
    if (base.size() >= 4 && AsciiLower(base.substr(base.size() - 4)) == ".mp3") base.erase(base.size() - 4);
    return base + "(2).mp3";
}

namespace {
std::optional<std::string>& MissingDecoder() {
    static std::optional<std::string> message;
    return message;
}
}  // namespace

void SimulateMissingDecoder(std::optional<std::string> message) { MissingDecoder() = std::move(message); }

std::optional<std::string> SimulatedMissingDecoder() { return MissingDecoder(); }

}  // namespace sv
