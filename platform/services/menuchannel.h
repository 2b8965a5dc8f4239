#pragma once
// The phone's menu channel: the local socket on which the application
// manager (`am`) of a phone root answers one-line requests ("show",
// "status", "quit"). One channel per phone root, so that programs of one
// emulated phone never reach the menu of another.

#include <QByteArray>
#include <QString>

// The socket's name for the phone root in use (EZX_ROOT, or "/").
QString menuChannelName();

// Sends `request` and returns the answer line (without its line end), or a
// null array when no `am` answered within `timeoutMs`.
QByteArray askMenuChannel(const QByteArray& request, int timeoutMs);

// Makes the phone's application manager start again, so that it reads the
// registries and the menu tree anew. On the phone (no EZX_ROOT) that is
// "kill $(pidof am)"; with EZX_ROOT set only that phone root's `am` is asked
// to end, over its channel. True when it was asked (on the phone: when the
// command ran).
bool restartPhoneMenu();
