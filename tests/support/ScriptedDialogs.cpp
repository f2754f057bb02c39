#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace svtest {

ScriptedDialogs& ScriptedDialogs::ExpectYesNo(std::string fragment, bool answer) {
    script_.push_back({Kind::YesNo, std::move(fragment), answer, {}, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::ExpectMessage(std::string fragment) {
    script_.push_back({Kind::Message, std::move(fragment), false, {}, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::ExpectChoice(std::string fragment, std::optional<int> answer) {
    script_.push_back({Kind::Choice, std::move(fragment), false, answer, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::ExpectText(std::string fragment, std::optional<std::string> answer) {
    script_.push_back({Kind::Text, std::move(fragment), false, {}, std::move(answer)});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::ExpectFile(std::optional<std::string> answer) {
    script_.push_back({Kind::File, {}, false, {}, std::move(answer)});
    return *this;
}

const ScriptedDialogs::Step* ScriptedDialogs::Next(Kind kind, std::string_view text, const char* what) {
    transcript_.push_back(std::string(what) + ": " + std::string(text));
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected " << what << ": " << text;
        return nullptr;
    }
    current_ = script_.front();
    script_.pop_front();
    if (current_.kind != kind) {
        ADD_FAILURE() << "expected another kind of dialog, got " << what << ": " << text;
        return nullptr;
    }
    if (text.find(current_.fragment) == std::string_view::npos) {
        ADD_FAILURE() << what << " \"" << text << "\" does not contain \"" << current_.fragment << "\"";
        return nullptr;
    }
    return &current_;
}

bool ScriptedDialogs::AskYesNo(std::string_view text, sv::MessageIcon icon) {
    icons_.push_back(icon);
    const Step* s = Next(Kind::YesNo, text, "question");
    return s ? s->yes : false;
}

void ScriptedDialogs::ShowMessage(std::string_view text, sv::MessageIcon icon) {
    icons_.push_back(icon);
    Next(Kind::Message, text, "message");
}

std::optional<int> ScriptedDialogs::ChooseFromList(std::string_view prompt, const std::vector<std::string>&, int) {
    const Step* s = Next(Kind::Choice, prompt, "choice");
    return s ? s->choice : std::nullopt;
}

std::optional<std::string> ScriptedDialogs::AskText(std::string_view prompt, const std::vector<std::string>&,
                                                    std::string_view) {
    const Step* s = Next(Kind::Text, prompt, "text");
    return s ? s->text : std::nullopt;
}

std::optional<std::string> ScriptedDialogs::PickFile(std::string_view title, std::string_view) {
    const Step* s = Next(Kind::File, title, "file");
    return s ? s->text : std::nullopt;
}

void ScriptedEventPump::ProcessPendingEvents() {
    ++calls_;
    for (auto& a : actions_)
        if (a.call == calls_ && a.action) a.action();
}

}  // namespace svtest
