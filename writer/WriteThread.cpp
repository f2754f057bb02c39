#include "writer/WriteThread.h"

namespace sv {

TWriteThread::TWriteThread(Post post, WriteThreadSink sink) : post_(std::move(post)), sink_(std::move(sink)) {}

TWriteThread::~TWriteThread() { Join(); }

void TWriteThread::Join() {
    if (thread_.joinable()) thread_.join();
}

bool TWriteThread::Begin() {
    if (running_) return false;
    Join();
    running_ = true;
    status_.clear();
    shownErrors_ = 0;
    return true;
}

void TWriteThread::Finish(WriteOutcome outcome) {
    auto done = sink_.done;
    running_ = false;
    post_([done, outcome] {
        if (done) done(outcome);
    });
}

bool TWriteThread::StartBurn(BurnController& controller, TCDWriter& writer, const BurnJob& job,
                             const std::atomic<bool>& cancel) {
    if (!Begin()) return false;
    totalSectors_ = job.totalSectors;
    thread_ = std::thread([this, &controller, &writer, job, &cancel] {
        auto caption = sink_.caption;
        post_([caption, text = job.caption] {
            if (caption) caption(text);
        });
        writer.SetListener(this);
        const WriteOutcome outcome = controller.RunBurn(job, cancel);
        writer.SetListener(nullptr);
        Finish(outcome);
    });
    return true;
}

bool TWriteThread::StartErase(BurnController& controller, bool full) {
    if (!Begin()) return false;
    thread_ = std::thread([this, &controller, full] {
        Finish(controller.RunErase(full) ? WriteOutcome::Completed : WriteOutcome::CloseFailed);
    });
    return true;
}

std::string TWriteThread::SetStatus(const std::string& text) {
    std::string old = status_;
    status_ = text;
    auto status = sink_.status;
    post_([status, text] {
        if (status) status(text);
    });
    return old;
}

void TWriteThread::Progress(std::uint32_t sector, std::uint32_t trackStart, int writeErrors, std::uint32_t trackEnd) {
    const ProgressBars bars = ProgressBarsFor(sector, trackStart, trackEnd, totalSectors_);
    const bool changed = writeErrors != shownErrors_;
    shownErrors_ = writeErrors;
    auto progress = sink_.progress;
    post_([progress, bars, writeErrors, changed] {
        if (progress) progress(bars, writeErrors, changed);
    });
}

}  // namespace sv
