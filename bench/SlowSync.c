// Preloaded into a benchmark (LD_PRELOAD), makes every fsync and fdatasync take
// BRISFOLD_SYNC_DELAY_MS milliseconds longer, as on the cheap disk of a counter PC. Without the
// variable, or with 0, syncs are left as they are.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <time.h>

static long delayMs;
static int (*realFsync)(int);
static int (*realFdatasync)(int);

static void setUp(void)
{
    const char *text = getenv("BRISFOLD_SYNC_DELAY_MS");
    delayMs = text ? strtol(text, NULL, 10) : 0;
    *(void **)&realFsync = dlsym(RTLD_NEXT, "fsync");
    *(void **)&realFdatasync = dlsym(RTLD_NEXT, "fdatasync");
}

__attribute__((constructor)) static void setUpOnLoad(void)
{
    setUp();
}

static void slowDown(void)
{
    if (delayMs <= 0)
        return;
    const int saved = errno;
    struct timespec left = {delayMs / 1000, (delayMs % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
    errno = saved;
}

int fsync(int fd)
{
    if (!realFsync)
        setUp(); // called before this library's constructor ran
    slowDown();
    return realFsync(fd);
}

int fdatasync(int fd)
{
    if (!realFdatasync)
        setUp();
    slowDown();
    return realFdatasync(fd);
}
