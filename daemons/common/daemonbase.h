#pragma once
// What DayBadge (both editions) and LineLabel share: detaching into the
// background, the weekday in China's time (UTC+8), the weekday texts, the
// "-auth" banner and the letter-case-blind option test.

#include <ctime>

// Detaches the process by a double fork: the caller's process and the first
// child exit with status 0 (as does the caller when a fork fails); the
// grandchild, no longer a process-group or session leader and outside the
// starting terminal's session, returns and carries on. The working folder, the
// file-creation mask and the standard streams stay as they were.
void init_daemon();

// The weekday number, 0 (Sunday) to 6 (Saturday), in UTC+8, whatever the
// machine's time-zone setting.
int getCurrTime();

// The weekday number in UTC+8 at the given time (getCurrTime's rule).
int weekdayInUtc8(std::time_t when);

// The clock getCurrTime reads; the default is time(). Returns the previous one;
// null restores the default.
using DaemonClock = std::time_t (*)();
DaemonClock setDaemonClock(DaemonClock clock);

// The weekday texts in UTF-8, indexed by weekday number (0 = Sunday).
extern const char* const kWeekdayTexts[7];

// The UTF-8 text of a weekday number; numbers outside 0..6 wrap into it.
const char* weekdayText(int weekday);

// True when `arg` equals `option` ignoring ASCII letter case (null never does).
bool isOption(const char* arg, const char* option);

// Prints the identification banner to standard output, four writes:
// "SoftName  <name>\n", "  Author  VORTELIN\n", " Version  <version>\n",
// "    Date  <date>\n\r", then flushes.
void printBanner(const char* softName, const char* version, const char* date);
