// TWriteThread: runs one long operation of the burn window (a burn, or a full
// or quick erase) on its own thread. It never calls the window: everything it
// reports is a copy handed to `post`, which the window implements as a queued
// call into its own thread that is dropped once the window is gone. The
// cancel flag is the only thing both threads touch.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "writer/BurnController.h"

namespace sv {

// What the window hears from the thread, in this order: the caption (a burn),
// status lines and progress while it runs, then exactly one Done.
struct WriteThreadSink {
    std::function<void(const std::string&)> caption;
    std::function<void(const std::string&)> status;
    // The bars (each only when its divisor is not 0) and the write errors;
    // `errorsChanged` when the error count differs from the last report.
    std::function<void(ProgressBars, int errors, bool errorsChanged)> progress;
    // A burn's outcome, or for an erase Completed when BLANK succeeded and
    // CloseFailed when it did not.
    std::function<void(WriteOutcome)> done;
};

class TWriteThread final : private IWriteListener {
public:
    // Hands a task to the window's thread.
    using Post = std::function<void(std::function<void()>)>;

    TWriteThread(Post post, WriteThreadSink sink);
    // Waits for a running operation to end (set the cancel flag first).
    ~TWriteThread();
    TWriteThread(const TWriteThread&) = delete;
    TWriteThread& operator=(const TWriteThread&) = delete;

    // Starts the burn that `controller` prepared; false when an operation
    // still runs. `cancel` must outlive the thread.
    bool StartBurn(BurnController& controller, TCDWriter& writer, const BurnJob& job, const std::atomic<bool>& cancel);
    bool StartErase(BurnController& controller, bool full);
    // True from a start until the thread has posted Done.
    bool Running() const { return running_; }
    // Waits for the thread (tests; the destructor).
    void Join();

private:
    std::string SetStatus(const std::string& text) override;
    void Progress(std::uint32_t sector, std::uint32_t trackStart, int writeErrors, std::uint32_t trackEnd) override;
    bool Begin();
    void Finish(WriteOutcome outcome);

    Post post_;
    WriteThreadSink sink_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    // Worker-side copies: the status line's text, the burn's length and the
    // error count last shown.
    std::string status_;
    std::uint32_t totalSectors_ = 0;
    int shownErrors_ = 0;
};

}  // namespace sv
