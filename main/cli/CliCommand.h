// The commands of sornaval-cli. Each command lives in its own file in this
// folder and registers itself with a static CommandRegistration:
//
//   static sv::cli::CommandRegistration reg("toc", "[--drive N | --image FILE.cue | --demo] [--json]",
//                                           "print the disc layout", &RunToc);
//
// A command gets its arguments (without the program and command names) and
// the output streams, and returns the process exit status.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace sv {
class TLanguage;
}

namespace sv::cli {

using CommandFn = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CommandInfo {
    std::string name;
    std::string usage;
    std::string summary;
    CommandFn run = nullptr;
    std::string details;  // the options explained, for "COMMAND --help"
};

struct CommandRegistration {
    CommandRegistration(const char* name, const char* usage, const char* summary, CommandFn run,
                        std::string details = {});
};

const std::vector<CommandInfo>& Commands();

// The help text of the disc-choosing options that several commands share.
inline constexpr const char* kDiscSourceHelp =
    "  --drive N        the disc in drive N of 'sornaval-cli drives' (default: drive 0)\n"
    "  --image FILE     a CUE sheet image (BIN or WAV files) instead of a drive\n"
    "  --demo           the built-in demo disc (four short synthesised tracks)\n";

// The language of this run's messages: the name of an installed language
// ("english", "Russian", any ";LANG:" name, letter case ignored) chosen with
// --lang, or empty for the settings' language.
void SetLanguageChoice(std::string name);
const std::string& LanguageChoice();
// Loads the language files (writing the built-in ones when missing) and makes
// the chosen language, or else `settingsName`, the current one. False when
// --lang named a language that is not installed.
bool LoadLanguage(TLanguage& language, const std::string& settingsName);
// The names --lang accepts.
std::vector<std::string> InstalledLanguages();

// Small helpers for option parsing: "--name value" pairs and flags.
class Options {
public:
    explicit Options(const std::vector<std::string>& args) : args_(args) {}
    bool Flag(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;
    // Options not in `known` (flags and valued options alike), for an error message.
    std::vector<std::string> Unknown(const std::vector<std::string>& flags,
                                     const std::vector<std::string>& valued) const;

private:
    const std::vector<std::string>& args_;
};

}  // namespace sv::cli
