#include "hugepagerestart.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#define KESTRUNE_CAN_RESTART 1
#endif
#if defined(__SANITIZE_ADDRESS__)
#undef KESTRUNE_CAN_RESTART
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#undef KESTRUNE_CAN_RESTART
#endif
#endif

namespace {

constexpr const char *variable = "GLIBC_TUNABLES";
constexpr const char *hugePages = "glibc.malloc.hugetlb=";

bool names(const std::string &tunables, const char *name)
{
    // Each setting starts the value or follows a colon.
    const std::string padded = ':' + tunables;
    return padded.find(std::string(":") + name) != std::string::npos;
}

} // namespace

std::string HugePageRestart::tunablesFor(const char *current)
{
    std::string tunables = current ? current : "";
    if (names(tunables, hugePages))
        return {};
    tunables += (tunables.empty() ? "" : ":") + std::string(hugePages) + "1";
    return tunables;
}

void HugePageRestart::restartIfNeeded(char *argv[])
{
#ifdef KESTRUNE_CAN_RESTART
    const char *current = std::getenv(variable);
    const std::string previous = current ? current : "";
    const bool wasSet = current != nullptr;
    const std::string tunables = tunablesFor(current);
    if (tunables.empty() || setenv(variable, tunables.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: the restart failed, and nothing started later should see the change.
    if (wasSet)
        setenv(variable, previous.c_str(), 1);
    else
        unsetenv(variable);
#else
    (void)argv;
#endif
}
