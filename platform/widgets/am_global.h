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
    // the registries and the menu tree anew; only the `am` of the phone root
    // in use is touched. See restartPhoneMenu() in menuchannel.h, which a
    // program without a screen calls directly.
    static bool restartMenu();

    // The local socket on which the `am` of the phone root in use (EZX_ROOT,
    // or "/") answers one-line requests (menuChannelName()).
    static QString menuChannelName();
};
