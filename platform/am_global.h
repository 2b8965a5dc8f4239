#pragma once
// AM_Global: what the application manager's library offers to programs.

#include <QString>

class QWidget;

class AM_Global
{
public:
    // The platform's notice that an installation has completed: a message box
    // with one button; returns once the user has pressed it.
    static void installCompleteMessageBox(QWidget* parent = nullptr);

    // Makes the phone's application manager start again, so that it reads
    // the registries and the menu tree anew. On the phone (no EZX_ROOT) that
    // is "kill $(pidof am)"; with EZX_ROOT set only that phone root's `am`
    // is asked to end, over its socket: another phone's `am`, or any other
    // program called so, is never touched. True when it was asked (on the
    // phone: when the command ran).
    static bool restartMenu();

    // The local socket on which the `am` of the phone root in use (EZX_ROOT,
    // or "/") answers one-line requests.
    static QString menuChannelName();
};
