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

namespace sv::cli {

using CommandFn = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CommandInfo {
    std::string name;
    std::string usage;
    std::string summary;
    CommandFn run = nullptr;
};

struct CommandRegistration {
    CommandRegistration(const char* name, const char* usage, const char* summary, CommandFn run);
};

const std::vector<CommandInfo>& Commands();

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
