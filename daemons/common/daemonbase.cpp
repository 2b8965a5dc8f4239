#include "daemonbase.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

std::time_t systemClock()
{
    return std::time(nullptr);
}

DaemonClock g_clock = systemClock;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

const char* const kWeekdayTexts[7] = {
    "\xe6\x98\x9f\xe6\x9c\x9f\xe6\x97\xa5", // 星期日 Sunday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xb8\x80", // 星期一 Monday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xba\x8c", // 星期二 Tuesday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xb8\x89", // 星期三 Wednesday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe5\x9b\x9b", // 星期四 Thursday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xba\x94", // 星期五 Friday
    "\xe6\x98\x9f\xe6\x9c\x9f\xe5\x85\xad", // 星期六 Saturday
};

void init_daemon()
{
    // Anything still buffered must not be written twice by the children.
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid != 0) // the parent, or the caller when the fork failed
        std::exit(0);
    setsid();
    pid = fork();
    if (pid != 0) // the session leader, or the child when the fork failed
        std::exit(0);
}

int weekdayInUtc8(std::time_t when)
{
    std::tm parts{};
    if (!gmtime_r(&when, &parts))
        return 0;
    if (parts.tm_hour + 8 <= 23)
        return parts.tm_wday;
    return (parts.tm_wday + 1) % 7;
}

int getCurrTime()
{
    return weekdayInUtc8(g_clock());
}

DaemonClock setDaemonClock(DaemonClock clock)
{
    const DaemonClock previous = g_clock;
    g_clock = clock ? clock : systemClock;
    return previous;
}

const char* weekdayText(int weekday)
{
    return kWeekdayTexts[((weekday % 7) + 7) % 7];
}

bool isOption(const char* arg, const char* option)
{
    if (!arg || !option)
        return false;
    for (; *arg && *option; ++arg, ++option)
        if (lowerAscii(*arg) != lowerAscii(*option))
            return false;
    return *arg == '\0' && *option == '\0';
}

void printBanner(const char* softName, const char* version, const char* date)
{
    std::printf("SoftName  %s\n", softName);
    std::printf("  Author  VORTELIN\n");
    std::printf(" Version  %s\n", version);
    std::printf("    Date  %s\n\r", date);
    std::fflush(stdout);
}
