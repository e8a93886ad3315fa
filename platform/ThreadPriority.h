#pragma once

// Plain C++, so that the Windows part is cross-built and tested with the Win32 layer.

namespace brisfold {

// How much nicer than its creator a worker runs on Linux: the increment `nice` uses by default.
inline constexpr int workerNiceIncrement = 10;

// Puts the calling thread below the UI thread's priority; called first thing on a worker thread
// of its own (a pooled thread would keep it for every later task). Windows: below-normal thread
// priority. Linux: the thread's nice value raised by workerNiceIncrement, for this thread alone
// and the threads it starts; Qt's thread priorities change nothing under Linux's default
// scheduler. False when the system refused, and the thread runs on as it was.
bool lowerCurrentThreadPriority();

} // namespace brisfold
