// sornaval-cli: the program's core without windows, for scripts and machines
// without a display.
#include <iostream>
#include <string>
#include <vector>

#include "main/cli/CliCommand.h"

namespace {

constexpr const char* kVersion = "3.4.0";

void PrintHelp(std::ostream& out) {
    out << "Usage: sornaval-cli COMMAND [OPTIONS]\n"
           "       sornaval-cli --version | --help\n\n"
           "Grabs, identifies and converts audio CDs without a window. Settings are shared\n"
           "with the window program (the data folder ~/.local/share/sornaval/).\n\n"
           "Commands:\n";
    for (const auto& c : sv::cli::Commands()) {
        out << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp(std::cerr);
        return 2;
    }
    const std::string command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp(std::cout);
        return 0;
    }
    if (command == "--version" || command == "-V") {
        std::cout << "sornaval-cli " << kVersion << "\n";
        return 0;
    }
    for (const auto& c : sv::cli::Commands()) {
        if (c.name == command) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            try {
                return c.run(rest, std::cout, std::cerr);
            } catch (const std::exception& e) {
                std::cerr << "sornaval-cli " << command << ": " << e.what() << "\n";
                return 1;
            }
        }
    }
    std::cerr << "sornaval-cli: unknown command '" << command << "'. See 'sornaval-cli --help'.\n";
    return 2;
}
