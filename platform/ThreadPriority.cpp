#include "platform/ThreadPriority.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace brisfold {

#ifdef _WIN32

bool lowerCurrentThreadPriority()
{
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL) != 0;
}

#else

bool lowerCurrentThreadPriority()
{
    // With a thread id, PRIO_PROCESS addresses that one thread on Linux.
    const auto thread = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0)
        return false;
    constexpr int niceLimit = 19;
    return setpriority(PRIO_PROCESS, thread, std::min(nice + workerNiceIncrement, niceLimit)) == 0;
}

#endif

} // namespace brisfold
