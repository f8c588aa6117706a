// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Medians rather than means: one slow run (a page fault, the other core busy)
// should not move the figure.
namespace Timing {

template<typename T>
T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds of each run of `action`; `prepare` runs untimed before each.
inline std::vector<double> timeRuns(int runs, const std::function<void(int)> &prepare,
                                    const std::function<void()> &action)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare(i);
        QElapsedTimer clock;
        clock.start();
        action();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return times;
}

inline void report(const char *what, const std::vector<double> &times, double goal)
{
    const double med = median(times);
    std::printf("%-40s median %7.2f ms  min %7.2f  max %7.2f  (%zu runs, goal < %g ms: %s)\n", what, med,
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                times.size(), goal, med < goal ? "met" : "MISSED");
}

// A figure measured for information, with no goal of its own.
inline void inform(const char *what, const std::vector<double> &times)
{
    std::printf("%-40s median %7.2f ms  min %7.2f  max %7.2f  (%zu runs)\n", what, median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                times.size());
}

} // namespace Timing
