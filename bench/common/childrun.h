// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <chrono>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Bench {

// One run of a program to its end: the wall time, the processor time it
// took (user and system), and its peak memory, as the kernel counts them.
struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;
    int status = -1;
};

// Starts `command` in `folder`; the caller waits for it.
inline pid_t startChild(const std::vector<QByteArray> &command, const QByteArray &folder)
{
    std::vector<char *> argv;
    for (const QByteArray &a : command)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.constData()) != 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

inline Sample runOnce(const std::vector<QByteArray> &command, const QByteArray &folder)
{
    Sample sample;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = startChild(command, folder);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return sample;
    sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    sample.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    sample.peakKiB = usage.ru_maxrss;
    sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sample;
}

} // namespace Bench
