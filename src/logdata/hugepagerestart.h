#pragma once

#include <string>

// Restarts the process once, at the very start of main, with the C library's allocator set to
// back its memory with huge pages. On Linux with glibc the allocator reads its settings only at
// process start, and there a first touch of fresh memory costs far less in huge pages; a large
// log is almost all fresh memory.
class HugePageRestart
{
public:
    // Replaces the process by a fresh start of the same program with the same arguments and
    // the settings below added to GLIBC_TUNABLES. Returns without a restart when the settings
    // already choose about huge pages (the user's choice, or an earlier restart), on other
    // platforms, in sanitizer builds, and when the restart fails: the program then starts as
    // it is. Call before any thread starts; argv ends with a null pointer, as main's does.
    static void restartIfNeeded(char *argv[]);

    // The GLIBC_TUNABLES value for the restart, given the current one (null when unset);
    // empty when no restart is needed. Threads keep their own allocation arenas: sharing one
    // made the parallel parse of a log's files slower than huge pages made it faster.
    [[nodiscard]] static std::string tunablesFor(const char *current);
};
