// The decode-ahead thread of a burn: while the writer sends one block to the
// drive, it decodes the next into a ring slot. One thread serves every track
// of a burn; the writer hands it each track's stream.
//
// The hand-over is strictly alternating: the writer asks for slot r with
// Request and touches the stream's slots again only after WaitDone; the
// thread touches only the slot it was given. A stream at its end is not
// filled (the slot stays empty). The thread ends with Terminate or when it
// is asked to fill without a stream.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace sv {

class TCDDAStreamOut;

class TDecodeAheadThread {
public:
    // Starts the thread and returns once it runs.
    TDecodeAheadThread();
    // Terminates it and waits for it to end.
    ~TDecodeAheadThread();
    TDecodeAheadThread(const TDecodeAheadThread&) = delete;
    TDecodeAheadThread& operator=(const TDecodeAheadThread&) = delete;

    // Hands over the stream of the next track (null: none). Waits for a
    // fill still running on the previous one.
    void SetStream(TCDDAStreamOut* stream);
    // Asks for slot `slot` of the current stream to be filled.
    void Request(int slot);
    // Waits until no fill is asked for or running.
    void WaitDone();
    // Ends the thread after any fill in progress.
    void Terminate();
    // Fills done so far (the stream at its end is not filled and not counted).
    int Fills() const;

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    TCDDAStreamOut* stream_ = nullptr;
    int slot_ = 0;
    bool running_ = false;
    bool requested_ = false;
    bool busy_ = false;  // a request not yet answered
    bool terminated_ = false;
    int fills_ = 0;
    std::thread thread_;
};

}  // namespace sv
