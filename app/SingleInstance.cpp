#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/Paths.h"

namespace sv {

SingleInstanceLock::SingleInstanceLock(const std::string& lockFile) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(lockFile).parent_path(), ec);
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file there is no way to tell; run rather than refuse.
    if (fd_ < 0) {
        acquired_ = true;
        return;
    }
    acquired_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::string DefaultInstanceLockFile() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return WithTrailingSlash(runtime) + "sornaval.lock";
    return DataFolder() + "sornaval.lock";
}

}  // namespace sv
