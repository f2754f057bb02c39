#include "main/cli/CliCommand.h"

#include <algorithm>

#include "app/LanguageFiles.h"
#include "base/Language.h"
#include "base/Paths.h"
#include "base/Text.h"

namespace sv::cli {
namespace {
std::vector<CommandInfo>& Registry() {
    static std::vector<CommandInfo> commands;
    return commands;
}
}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* usage, const char* summary, CommandFn run,
                                         std::string details) {
    Registry().push_back({name, usage, summary, run, std::move(details)});
    std::sort(Registry().begin(), Registry().end(),
              [](const CommandInfo& a, const CommandInfo& b) { return a.name < b.name; });
}

const std::vector<CommandInfo>& Commands() { return Registry(); }

namespace {
std::string& Choice() {
    static std::string choice;
    return choice;
}

std::vector<LanguageMenuEntry> LanguageEntries(TLanguage& language) {
    const std::string folder = LanguageFolder();
    EnsureBuiltinLanguageFiles(folder);
    language.SetFiles(BuildLanguageFileList(folder));
    return BuildLanguageMenu(language);
}
}  // namespace

void SetLanguageChoice(std::string name) { Choice() = std::move(name); }
const std::string& LanguageChoice() { return Choice(); }

bool LoadLanguage(TLanguage& language, const std::string& settingsName) {
    const auto menu = LanguageEntries(language);
    int tag = -1;
    const std::string wanted = AsciiLower(Choice().empty() ? settingsName : Choice());
    for (const auto& e : menu)
        if (AsciiLower(e.name) == wanted) tag = e.tag;
    if (tag < 0 && !Choice().empty()) return false;
    language.LoadLanguage(tag >= 0 ? tag : 0);
    SetGlobalLanguage(&language);
    return true;
}

std::vector<std::string> InstalledLanguages() {
    TLanguage language;
    std::vector<std::string> names;
    for (const auto& e : LanguageEntries(language)) names.push_back(e.name);
    return names;
}

bool Options::Flag(const std::string& name) const {
    return std::find(args_.begin(), args_.end(), name) != args_.end();
}

std::optional<std::string> Options::Value(const std::string& name) const {
    for (std::size_t i = 0; i + 1 < args_.size(); ++i)
        if (args_[i] == name) return args_[i + 1];
    for (const auto& a : args_)
        if (a.rfind(name + "=", 0) == 0) return a.substr(name.size() + 1);
    return std::nullopt;
}

std::vector<std::string> Options::Unknown(const std::vector<std::string>& flags,
                                          const std::vector<std::string>& valued) const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args_.size(); ++i) {
        const std::string& a = args_[i];
        const std::string key = a.substr(0, a.find('='));
        if (std::find(flags.begin(), flags.end(), a) != flags.end()) continue;
        if (std::find(valued.begin(), valued.end(), key) != valued.end()) {
            if (key == a) ++i;  // the value follows
            continue;
        }
        out.push_back(a);
    }
    return out;
}

}  // namespace sv::cli
