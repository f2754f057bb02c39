#include "writer/BurnProject.h"

#include <algorithm>
#include <filesystem>

#include "base/FileIo.h"
#include "base/Interaction.h"
#include "base/Language.h"
#include "base/Text.h"
#include "writer/WriteSettings.h"

namespace sv {

namespace fs = std::filesystem;

std::string ProjectFileBytes(const BurnCompilation& compilation) {
    std::string bytes;
    for (const CompilationRow& row : compilation.Rows()) bytes += row.SourcePath() + "\r\n";
    return bytes;
}

std::vector<std::string> ProjectFilePaths(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::vector<std::string> paths;
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
        if (end > 0) paths.push_back(ToUtf8Lenient(bytes.substr(0, end)));
        const bool crlf = bytes.substr(end, 2) == "\r\n";
        bytes.remove_prefix(std::min(bytes.size(), end + (crlf ? 2 : 1)));
    }
    return paths;
}

bool SaveProject(const std::string& path, const BurnCompilation& compilation) {
    return ReplaceFile(path, ProjectFileBytes(compilation));
}

ProjectLoadReport LoadProject(const std::string& path, BurnCompilation& compilation) {
    ProjectLoadReport report;
    std::string bytes;
    if (!ReadWholeFile(path, kMaxProjectFileBytes, bytes)) return report;
    report.loaded = true;
    compilation.Clear();
    for (const std::string& line : ProjectFilePaths(bytes)) {
        if (compilation.AddFile(line) == AddFileResult::Added) ++report.added;
        else report.skipped.push_back(line);
    }
    return report;
}

std::string LastProjectPath(const std::string& settingsFolder) { return settingsFolder + kLastProjectFile; }

ProjectLoadReport LoadLastProject(const std::string& settingsFolder, const TWriteSettings& settings,
                                  BurnCompilation& compilation) {
    if (!settings.RememberLastProject()) return {};
    return LoadProject(LastProjectPath(settingsFolder), compilation);
}

bool SaveLastProject(const std::string& settingsFolder, const TWriteSettings& settings,
                     const BurnCompilation& compilation) {
    if (!settings.RememberLastProject()) return true;
    std::error_code ec;
    fs::create_directories(settingsFolder, ec);
    return SaveProject(LastProjectPath(settingsFolder), compilation);
}

std::string ImageCueText(const std::string& imageFileName, const std::vector<std::uint32_t>& trackStarts,
                         int trackCount) {
    std::string text = "FILE \"" + imageFileName + "\" WAVE\n";
    const int count = std::min<int>(trackCount, static_cast<int>(trackStarts.size()));
    for (int t = 1; t <= count; ++t) {
        text += "\tTRACK ";
        if (t < 10) text += '0';
        text += std::to_string(t) + " AUDIO\n";
        text += "\t\tINDEX 01 " + SectorsMsfText(trackStarts[static_cast<std::size_t>(t - 1)]) + "\n";
    }
    return text;
}

std::string ImageCuePath(const std::string& imagePath) {
    return fs::path(imagePath).replace_extension(".cue").string();
}

bool WriteImageCueFile(const std::string& imagePath, const std::vector<std::uint32_t>& trackStarts, int trackCount) {
    const std::string name = fs::path(imagePath).filename().string();
    return ReplaceFile(ImageCuePath(imagePath), ImageCueText(name, trackStarts, trackCount));
}

bool ChooseImageFile(IUserDialogs& dialogs, const std::function<std::optional<std::string>()>& askSaveName,
                     bool writeCue, const BurnCompilation& compilation, std::string& imagePath) {
    std::optional<std::string> chosen;
    for (;;) {
        chosen = askSaveName();
        if (!chosen) return false;
        std::error_code ec;
        if (!fs::exists(*chosen, ec)) break;
        if (dialogs.AskYesNo(LangMessage(77), MessageIcon::Question)) {
            fs::remove(*chosen, ec);
            break;
        }
    }
    imagePath = *chosen;
    if (!writeCue) return true;
    if (WriteImageCueFile(imagePath, compilation.TrackStarts(), compilation.Count())) return true;
    dialogs.ShowMessage(LangMessage(78), MessageIcon::Warning);
    return false;
}

}  // namespace sv
