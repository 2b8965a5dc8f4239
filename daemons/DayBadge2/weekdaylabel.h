#pragma once
// DayBadge 2.x: the weekday, in Chinese, on a one-line label window of its own
// near the lower part of the screen.

#include <QString>

class QLabel;
class QTextCodec;

// The UTF-8 codec, looked up once when the program starts.
extern QTextCodec* utf8_codec;

// The bytes decoded as UTF-8 (through utf8_codec).
QString un_utf8(const char* bytes);

// The text the label shows now: the weekday text of getCurrTime().
QString currentWeekdayLabelText();

// A label without parent, 240 x 20 at (1, 250), its text centred horizontally
// and set to the current weekday. Not yet shown.
QLabel* createWeekdayLabel();

// One round of the label's loop: a pause of `pauseSeconds` (the label is
// still drawn), set the current weekday, run the event loop for `loopMs`
// milliseconds.
void runWeekdayLabelCycle(QLabel* label, unsigned pauseSeconds = 5, int loopMs = 20000);

// The program: detaches, answers "-auth" (any letter case) with the banner,
// otherwise shows the label and refreshes it every 25 seconds, forever.
int runDayBadgeLabel(int argc, char** argv);
