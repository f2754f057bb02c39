// Test doubles for the user-facing interfaces: a dialog script that plays back
// answers in order and fails the test on any question it did not expect, and
// an event pump that runs a callback on a chosen call.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Interaction.h"

namespace svtest {

class ScriptedDialogs : public sv::IUserDialogs {
public:
    // Each expectation matches the next dialog of its kind whose text contains
    // `fragment` (an empty fragment matches any text).
    ScriptedDialogs& ExpectYesNo(std::string fragment, bool answer);
    ScriptedDialogs& ExpectMessage(std::string fragment);
    ScriptedDialogs& ExpectChoice(std::string fragment, std::optional<int> answer);
    ScriptedDialogs& ExpectText(std::string fragment, std::optional<std::string> answer);
    ScriptedDialogs& ExpectFile(std::optional<std::string> answer);

    bool AskYesNo(std::string_view text, sv::MessageIcon icon) override;
    void ShowMessage(std::string_view text, sv::MessageIcon icon) override;
    std::optional<int> ChooseFromList(std::string_view prompt, const std::vector<std::string>& items,
                                      int preselected) override;
    std::optional<std::string> AskText(std::string_view prompt, const std::vector<std::string>& suggestions,
                                       std::string_view initial) override;
    std::optional<std::string> PickFile(std::string_view title, std::string_view filter) override;

    // Every dialog shown so far, as "kind: text".
    const std::vector<std::string>& Transcript() const { return transcript_; }
    // Icons of the messages shown, in order.
    const std::vector<sv::MessageIcon>& Icons() const { return icons_; }
    // True when every expectation was consumed.
    bool Done() const { return script_.empty(); }

private:
    enum class Kind { YesNo, Message, Choice, Text, File };
    struct Step {
        Kind kind;
        std::string fragment;
        bool yes = false;
        std::optional<int> choice;
        std::optional<std::string> text;
    };
    const Step* Next(Kind kind, std::string_view text, const char* what);

    std::deque<Step> script_;
    Step current_{};
    std::vector<std::string> transcript_;
    std::vector<sv::MessageIcon> icons_;
};

// Runs `action` on the n-th call (1-based) of ProcessPendingEvents.
class ScriptedEventPump : public sv::IEventPump {
public:
    void At(int call, std::function<void()> action) { actions_.push_back({call, std::move(action)}); }
    void ProcessPendingEvents() override;
    int Calls() const { return calls_; }

private:
    struct Action {
        int call;
        std::function<void()> action;
    };
    std::vector<Action> actions_;
    int calls_ = 0;
};

}  // namespace svtest
