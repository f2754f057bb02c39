// One running copy per user: a lock on a file, held for the life of the
// process and released by the system when the process ends, however it ends.
#pragma once

#include <string>

namespace sv {

class SingleInstanceLock {
public:
    // Takes the lock on `lockFile`; Acquired() tells whether this process is
    // the only copy.
    explicit SingleInstanceLock(const std::string& lockFile);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    bool Acquired() const { return acquired_; }

private:
    int fd_ = -1;
    bool acquired_ = false;
};

// $XDG_RUNTIME_DIR/sornaval.lock, or the data folder's when there is none.
std::string DefaultInstanceLockFile();

}  // namespace sv
