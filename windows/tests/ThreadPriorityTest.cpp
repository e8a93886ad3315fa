#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <thread>
#include <windows.h>

TEST(ThreadPriority, AWorkerRunsBelowNormalAndTheThreadThatStartedItStaysNormal)
{
    const int before = GetThreadPriority(GetCurrentThread());
    bool lowered = false;
    int worker = 0;
    std::thread([&] {
        lowered = brisfold::lowerCurrentThreadPriority();
        worker = GetThreadPriority(GetCurrentThread());
    }).join();
    EXPECT_TRUE(lowered);
    EXPECT_EQ(worker, THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(before, THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}
