#include "grab/SystemActions.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace sv {

namespace {

int g_savedNice = 0;
bool g_raised = false;

bool RunProgram(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv.data()), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void SetHighPriority(bool high) {
    if (high) {
        if (!g_raised) {
            errno = 0;
            const int current = getpriority(PRIO_PROCESS, 0);
            if (errno != 0) return;
            g_savedNice = current;
            g_raised = true;
        }
        setpriority(PRIO_PROCESS, 0, g_savedNice - 10 < -20 ? -20 : g_savedNice - 10);
    } else if (g_raised) {
        setpriority(PRIO_PROCESS, 0, g_savedNice);
        g_raised = false;
    }
}

bool RequestPowerOff() {
    if (RunProgram({"busctl", "call", "org.freedesktop.login1", "/org/freedesktop/login1",
                    "org.freedesktop.login1.Manager", "PowerOff", "b", "true"}))
        return true;
    return RunProgram({"systemctl", "poweroff"});
}

}  // namespace sv
