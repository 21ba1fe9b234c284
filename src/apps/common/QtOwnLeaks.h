#pragma once

// Leaks of Qt's own that LeakSanitizer must not report, so that it reports
// only ours. A program or test that runs under QApplication includes this
// header once, in the file with main(). Without the sanitizer nothing of it
// runs.

// The offscreen platform plugin never frees its screen.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}

#if defined(__SANITIZE_ADDRESS__)
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <thread>

namespace QtOwnLeaks {

// Threads of this process, this one included.
int runningThreads()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// A thread frees its data itself as it ends, after QThread::wait() has
// returned (QtTest's watchdog is waited for so, just before exit). Checked
// before that, the data would be reported as leaked; the check runs after
// this, so this waits a little for threads still ending.
void waitForEndingThreads()
{
    for (int i = 0; i < 100 && runningThreads() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

const int waitRegistered = std::atexit(waitForEndingThreads);

} // namespace QtOwnLeaks
#endif
