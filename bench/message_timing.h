// What the Windows benchmarks share: a millisecond clock, the median, and the time the
// calling thread spends in each window class's handling of each message, seen by
// call-window hooks. Inclusive: a message handled inside another's handling counts in both.
// The hooks and their records belong to the thread that started them; one at a time.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

double Now();  // milliseconds, from the performance counter
double Median(std::vector<double> values);  // 0 for none

struct MessageBucket {
    double ms = 0;
    int count = 0;
};

// The message's part of a bucket's name; the window's class name comes before it.
using MessageNamer = std::string (*)(UINT message);

// Hooks this thread's window procedures; calls still open from an earlier timing are
// forgotten, the buckets are kept.
void StartMessageTiming(MessageNamer nameOf);
void StopMessageTiming();
// Every bucket so far, by "class message"; the caller may clear them.
std::map<std::string, MessageBucket>& MessageTimes();
