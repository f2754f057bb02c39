// Questions and messages as Qt message boxes, with the program's caption.
#pragma once

#include <QPointer>
#include <QWidget>

#include "base/Interaction.h"

namespace sv {

class QtDialogs final : public IUserDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    bool AskYesNo(std::string_view text, MessageIcon icon) override;
    void ShowMessage(std::string_view text, MessageIcon icon) override;
    std::optional<int> ChooseFromList(std::string_view prompt, const std::vector<std::string>& items,
                                      int preselected) override;
    std::optional<std::string> AskText(std::string_view prompt, const std::vector<std::string>& suggestions,
                                       std::string_view initial) override;
    std::optional<std::string> PickFile(std::string_view title, std::string_view filter) override;

private:
    QPointer<QWidget> parent_;
};

// Lets the window process pending events during long operations.
class QtEventPump final : public IEventPump {
public:
    void ProcessPendingEvents() override;
};

}  // namespace sv
