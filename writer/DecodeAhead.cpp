#include "writer/DecodeAhead.h"

#include "writer/CDDAStreamOut.h"

namespace sv {

TDecodeAheadThread::TDecodeAheadThread() {
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_; });
}

TDecodeAheadThread::~TDecodeAheadThread() {
    Terminate();
    if (thread_.joinable()) thread_.join();
}

void TDecodeAheadThread::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    running_ = true;
    changed_.notify_all();
    while (!terminated_) {
        changed_.wait(lock, [this] { return requested_ || terminated_; });
        requested_ = false;
        if (!stream_ || terminated_) break;
        // The stream and the slot stay the writer's business only between
        // WaitDone and the next Request: the fill runs under the lock.
        if (!stream_->Eof()) {
            stream_->FillSlot(slot_);
            ++fills_;
        }
        busy_ = false;
        changed_.notify_all();
    }
    busy_ = false;
    running_ = false;
    changed_.notify_all();
}

void TDecodeAheadThread::SetStream(TCDDAStreamOut* stream) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stream_ = stream;
}

void TDecodeAheadThread::Request(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    slot_ = slot;
    requested_ = true;
    busy_ = true;
    changed_.notify_all();
}

void TDecodeAheadThread::WaitDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void TDecodeAheadThread::Terminate() {
    std::lock_guard<std::mutex> lock(mutex_);
    terminated_ = true;
    changed_.notify_all();
}

int TDecodeAheadThread::Fills() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fills_;
}

}  // namespace sv
