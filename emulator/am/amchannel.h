#pragma once
// How the idle screen asks the application manager to show its menu: a local
// socket of the phone (one per phone root), on which `am` answers one-line
// requests:
//   "show"   shows the menu on top; answered "shown" once it has been drawn
//   "status" answered "ready <folders> <applications>"
//   "quit"   answered "quitting"; am then ends as "kill $(pidof am)" ends it
//            (the platform starts it again), for the software manager's
//            "Refresh menu" on a desktop
// A request to an `am` that is not running (being started again) fails.

#include <QByteArray>
#include <QString>

// The socket's name for the phone root in use (EZX_ROOT, or "/").
QString amChannelName();

// Sends `request` and returns the answer line (without its line end), or a
// null array when no `am` answered within `timeoutMs`.
QByteArray askAm(const QByteArray& request, int timeoutMs);
