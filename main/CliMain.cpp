// sornaval-cli: the program's core without windows, for scripts and machines
// without a display.
#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "base/Language.h"
#include "main/cli/CliCommand.h"

namespace {

constexpr const char* kVersion = "3.4.0";

void PrintHelp(std::ostream& out) {
    out << "Usage: sornaval-cli [--lang LANGUAGE] COMMAND [OPTIONS]\n"
           "       sornaval-cli COMMAND --help\n"
           "       sornaval-cli --version | --help\n\n"
           "Grabs, identifies and converts audio CDs without a window. Settings, titles and the\n"
           "album cache are shared with the window program (the data folder\n"
           "~/.local/share/sornaval/).\n\n"
           "Commands:\n";
    for (const auto& c : sv::cli::Commands()) {
        out << "  " << c.name << std::string(c.name.size() < 9 ? 9 - c.name.size() : 1, ' ') << c.summary << "\n";
    }
    out << "\nOptions of every command:\n"
           "  --lang LANGUAGE  the language of the program's messages for this run (english,\n"
           "                   russian or the name of another installed language file)\n"
           "  --help           the command's own options\n\n"
           "Exit status: 0 done, 1 failed (the reason is printed), 2 wrong arguments.\n";
}

void PrintCommandHelp(std::ostream& out, const sv::cli::CommandInfo& c) {
    std::string summary = c.summary;
    if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    out << "Usage: sornaval-cli " << c.name << " " << c.usage << "\n\n" << summary << ".\n";
    if (!c.details.empty()) out << "\n" << c.details;
    out << "\nExit status: 0 done, 1 failed (the reason is printed), 2 wrong arguments.\n";
}

// Takes "--lang NAME" or "--lang=NAME" out of the arguments; false when the
// option has no name after it.
bool TakeLanguageOption(std::vector<std::string>& args, std::string& language) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang") {
            if (i + 1 >= args.size()) return false;
            language = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            return true;
        }
        if (args[i].rfind("--lang=", 0) == 0) {
            language = args[i].substr(7);
            args.erase(args.begin() + static_cast<long>(i));
            return !language.empty();
        }
    }
    return true;
}

const sv::cli::CommandInfo* FindCommand(const std::string& name) {
    for (const auto& c : sv::cli::Commands())
        if (c.name == name) return &c;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string language;
    if (!TakeLanguageOption(args, language)) {
        std::cerr << "sornaval-cli: --lang needs a language name\n";
        return 2;
    }
    if (!language.empty()) {
        sv::cli::SetLanguageChoice(language);
        sv::TLanguage probe;
        if (!sv::cli::LoadLanguage(probe, "")) {
            std::cerr << "sornaval-cli: no language \"" << language << "\" is installed; the languages are:";
            for (const auto& name : sv::cli::InstalledLanguages()) std::cerr << " " << name;
            std::cerr << "\n";
            return 2;
        }
        sv::SetGlobalLanguage(nullptr);
    }
    if (args.empty()) {
        PrintHelp(std::cerr);
        return 2;
    }
    const std::string command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        if (args.size() > 1) {
            if (const auto* c = FindCommand(args[1])) {
                PrintCommandHelp(std::cout, *c);
                return 0;
            }
            std::cerr << "sornaval-cli: unknown command '" << args[1] << "'. See 'sornaval-cli --help'.\n";
            return 2;
        }
        PrintHelp(std::cout);
        return 0;
    }
    if (command == "--version" || command == "-V") {
        std::cout << "sornaval-cli " << kVersion << "\n";
        return 0;
    }
    const auto* c = FindCommand(command);
    if (!c) {
        std::cerr << "sornaval-cli: unknown command '" << command << "'. See 'sornaval-cli --help'.\n";
        return 2;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest) {
        if (a == "--help" || a == "-h") {
            PrintCommandHelp(std::cout, *c);
            return 0;
        }
    }
    try {
        return c->run(rest, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "sornaval-cli " << command << ": " << e.what() << "\n";
        return 1;
    }
}
