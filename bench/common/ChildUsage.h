#pragma once

// CPU time and peak memory of commands run in child processes, so that a
// bench can time a shell pipeline beside our own code, and measure the peak
// memory of an operation in a fresh process.

#include <sys/resource.h>
#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <time.h>
#include <unistd.h>

#include <string>

namespace tolvan::bench {

struct Usage {
    double cpuSeconds = 0;  // user + system, the child and what it waited for
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

// The peak resident set of a command, in megabytes (0 when it fails), taken
// by /usr/bin/time: a child forked from this process would count the pages
// it shared with the bench before its exec.
inline double peakMegabytesOf(const std::string& command)
{
    char report[] = "/tmp/tolvan-bench-peak-XXXXXX";
    const int fd = ::mkstemp(report);
    if (fd < 0) {
        return 0;
    }
    ::close(fd);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/usr/bin/time", "time", "-f", "%M", "-o", report, "/bin/sh", "-c", command.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const bool ok = usageOf(pid).ok;
    double kilobytes = 0;
    if (FILE* f = std::fopen(report, "r")) {
        if (std::fscanf(f, "%lf", &kilobytes) != 1) {
            kilobytes = 0;
        }
        std::fclose(f);
    }
    ::unlink(report);
    return ok ? kilobytes * 1024 / 1e6 : 0;
}

// The CPU time this process has used so far.
inline double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

} // namespace tolvan::bench
