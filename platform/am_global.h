#pragma once
// AM_Global: what the application manager's library offers to programs.

class QWidget;

class AM_Global
{
public:
    // The platform's notice that an installation has completed: a message box
    // with one button; returns once the user has pressed it.
    static void installCompleteMessageBox(QWidget* parent = nullptr);
};
