// What long operations need from their surroundings, as interfaces:
// questions and messages to the user, the window's event pump, and the clock.
//
// No logic shows a dialog, processes window events or sleeps directly. The
// window program implements these with Qt, the command-line front end answers
// from its options, and tests script them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

enum class MessageIcon { Information, Warning, Error, Question };

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // A Yes/No question; true means Yes.
    virtual bool AskYesNo(std::string_view text, MessageIcon icon = MessageIcon::Question) = 0;
    // A message with an Ok button.
    virtual void ShowMessage(std::string_view text, MessageIcon icon) = 0;
    // Lets the user choose one of `items` (index), or nothing (cancel).
    virtual std::optional<int> ChooseFromList(std::string_view prompt, const std::vector<std::string>& items,
                                              int preselected) = 0;
    // Lets the user type a text, offering `suggestions`; nothing on cancel.
    virtual std::optional<std::string> AskText(std::string_view prompt, const std::vector<std::string>& suggestions,
                                               std::string_view initial) = 0;
    // Lets the user pick an existing file; nothing on cancel.
    virtual std::optional<std::string> PickFile(std::string_view title, std::string_view filter) = 0;
};

// "Let the window process pending messages": called once per block by every
// long operation on the window thread.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void ProcessPendingEvents() = 0;
    // True once the user asked the running operation to give up (Stop, or
    // closing the window) while events were processed; an operation that waits
    // on something outside (a server) then stops waiting and asks nothing more.
    virtual bool CancelRequested() const { return false; }
};

// Hands events to another pump and carries a cancel request of its own: the
// controller gives one to a long command and sets it from Stop or a close.
class CancellableEventPump final : public IEventPump {
public:
    explicit CancellableEventPump(IEventPump& inner) : inner_(inner) {}
    void ProcessPendingEvents() override { inner_.ProcessPendingEvents(); }
    bool CancelRequested() const override { return cancel_ || inner_.CancelRequested(); }
    void RequestCancel() { cancel_ = true; }

private:
    IEventPump& inner_;
    bool cancel_ = false;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;
};

// The real monotonic clock.
class SteadyClock final : public IClock {
public:
    std::int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepMs(std::int64_t ms) override;
};

// A clock that moves only when told to; sleeping advances it.
class ManualClock final : public IClock {
public:
    std::int64_t NowMs() override { return now_; }
    void SleepMs(std::int64_t ms) override { now_ += ms; }
    void Advance(std::int64_t ms) { now_ += ms; }

private:
    std::int64_t now_ = 0;
};

// An event pump for front ends without a window.
class NullEventPump final : public IEventPump {
public:
    void ProcessPendingEvents() override {}
};

}  // namespace sv
