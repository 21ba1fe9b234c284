#pragma once

#include <QDir>

// The embedded interpreter is never finalised (scripts' threads may outlive every module), so
// what Python and its libraries hold is still held at exit; lxml's per-thread libxml2 contexts
// have stacks that stop short of libpython. The offscreen plugin never frees its screen. Included
// once by a test that embeds Python, so that LeakSanitizer reports only leaks of our own.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libpython3\n"
           "leak:libxml2.so\n"
           "leak:libxslt.so\n"
           "leak:libqoffscreen.so\n";
}

// The check at exit stops every thread, and one still tearing down (a Python worker just past
// its end) can crash it: a test that ran workers waits until it is back to its earlier threads.
inline int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}
