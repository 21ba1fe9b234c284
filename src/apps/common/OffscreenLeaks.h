#pragma once

// The offscreen platform plugin never frees its screen. A program or test that
// runs under QApplication includes this header once, in the file with main(),
// so that LeakSanitizer reports only leaks of our own. Without the sanitizer
// the hook is never called.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
