#pragma once

// CPU time and peak memory of a command run in a child process, so that a
// bench can time a shell pipeline beside our own code, and measure the peak
// memory of an operation in a fresh process.

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace tolvan::bench {

struct Usage {
    double cpuSeconds = 0;  // user + system, the child and what it waited for
    double peakMegabytes = 0; // the child's largest resident set
    bool ok = false;
};

inline Usage usageOf(pid_t pid)
{
    Usage u;
    int status = 0;
    rusage ru{};
    if (pid < 0 || ::wait4(pid, &status, 0, &ru) != pid) {
        return u;
    }
    u.cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    u.peakMegabytes = double(ru.ru_maxrss) * 1024 / 1e6;
    u.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return u;
}

// Runs a command through /bin/sh.
inline Usage runShell(const std::string& command)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return usageOf(pid);
}

// The CPU time this process has used so far.
inline double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

} // namespace tolvan::bench
