#include "weekdayservice.h"

#include "daemonbase.h"
#include "shellrunner.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

const char* const kRestartAmCommand = "kill $(pidof am)";
const char* const kRestartPhoneCommand = "kill -9 $(pidof phone)";

void DayBadge(int mode)
{
    UTIL_SetServiceName(weekdayText(getCurrTime()));
    // The result is not looked at: when nothing was killed there is nothing to
    // restart, and the next cycle notices a name that did not take.
    runShellCommand(QString::fromLatin1(mode == 1 ? kRestartPhoneCommand : kRestartAmCommand));
}

WeekdayServiceWatcher::WeekdayServiceWatcher(int mode)
    : m_mode(mode)
{
}

void WeekdayServiceWatcher::setAndRemember()
{
    m_day = getCurrTime();
    DayBadge(m_mode);
    UTIL_GetServiceName(m_lastName);
}

void WeekdayServiceWatcher::start()
{
    setAndRemember();
}

void WeekdayServiceWatcher::cycle()
{
    if (getCurrTime() != m_day)
        setAndRemember();

    char current[kServiceNameBufferSize];
    std::memset(current, 0, sizeof current);
    UTIL_GetServiceName(current);
    if (std::strcmp(current, m_lastName) != 0)
        setAndRemember();
}

int runDayBadgeService(int argc, char** argv)
{
    init_daemon();
    int mode = 0;
    if (argc > 1) {
        if (isOption(argv[1], "-auth")) {
            printBanner("DayBadge", "1.0.6", "2007-06-05");
            return 0;
        }
        if (isOption(argv[1], "-e2")) {
            std::printf("E2\n\r");
            std::fflush(stdout);
            mode = 1;
        }
    }

    WeekdayServiceWatcher watcher(mode);
    watcher.start();
    for (;;) {
        watcher.cycle();
        sleep(20);
    }
}
