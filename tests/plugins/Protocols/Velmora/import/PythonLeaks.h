#pragma once

#include <QDir>

// The embedded interpreter is never finalised (threads started by scripts may
// outlive every module), so what Python and the libraries it loaded hold is
// still held at exit: lxml keeps a libxml2 parser context for every thread
// that parsed, and libxml2 has no frame pointers, so those stacks stop short
// of libpython. The offscreen platform plugin never frees its screen. A test
// that embeds Python includes this header once, so that LeakSanitizer reports
// only leaks of our own. Without the sanitizer the hook is never called.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libpython3\n"
           "leak:libxml2.so\n"
           "leak:libxslt.so\n"
           "leak:libqoffscreen.so\n";
}

// The check at exit stops every thread, and one still tearing down (a Python
// worker just past its end) can crash it: a test that ran workers waits until
// the process is back to the threads it had before.
inline int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}
