#pragma once
// DayBadge 1.x: the weekday, in Chinese, as the platform's service name (the
// operator name of the idle screen), kept there by a watch every 20 seconds.

#include "utilservicename.h"

// The shell commands that end the process showing the service name, so that
// the platform starts it again and it shows the new name.
extern const char* const kRestartAmCommand;    // mode 0
extern const char* const kRestartPhoneCommand; // mode 1 ("-e2")

// Sets the service name to the weekday text of getCurrTime() (UTF-8 bytes as
// they are) and ends the process that shows it: "phone" in mode 1, else "am".
void DayBadge(int mode);

// The watch of the daemon's loop. start() sets the name once; each cycle()
// sets it again when the day has changed or when the name read now is no
// longer the one read back after the last setting.
class WeekdayServiceWatcher
{
public:
    explicit WeekdayServiceWatcher(int mode);

    void start();
    void cycle();

    int mode() const { return m_mode; }
    int day() const { return m_day; }
    const char* lastName() const { return m_lastName; }

private:
    void setAndRemember();

    int m_mode;
    int m_day = -1;
    char m_lastName[kServiceNameBufferSize] = {};
};

// The program: detaches, answers "-auth" (any letter case) with the banner,
// prints "E2\n\r" and ends "phone" instead of "am" for "-e2" (any letter
// case), then keeps the weekday in the service name, forever.
int runDayBadgeService(int argc, char** argv);
