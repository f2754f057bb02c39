// The dialogs of the command line: a question is answered by the command's
// own rule, else "no" (the question is printed with "(no)"); messages go to
// the error stream with the command's name in front; choices, texts and
// files are never given.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/Interaction.h"

namespace sv::cli {

class CliDialogs final : public IUserDialogs {
public:
    // The command's answer to a question, or nothing for "no".
    using Answer = std::function<std::optional<bool>(std::string_view text)>;

    CliDialogs(std::ostream& err, std::string command, Answer answer = {})
        : err_(err), command_(std::move(command)), answer_(std::move(answer)) {}

    bool AskYesNo(std::string_view text, MessageIcon) override {
        if (answer_)
            if (const auto a = answer_(text)) return *a;
        err_ << command_ << ": " << text << " (no)\n";
        return false;
    }
    void ShowMessage(std::string_view text, MessageIcon) override { err_ << command_ << ": " << text << "\n"; }
    std::optional<int> ChooseFromList(std::string_view, const std::vector<std::string>&, int) override {
        return std::nullopt;
    }
    std::optional<std::string> AskText(std::string_view, const std::vector<std::string>&, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFile(std::string_view, std::string_view) override { return std::nullopt; }

private:
    std::ostream& err_;
    std::string command_;
    Answer answer_;
};

}  // namespace sv::cli
