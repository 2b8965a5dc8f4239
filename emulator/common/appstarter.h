#pragma once
// Starting an application of the menu: the record's "Exec" (relative to its
// "Directory"), in that folder, with the record's "Args" split into words as
// a command line is (quotes group, nothing is expanded), as one program
// started directly, never through a shell. A Java application is not started:
// it needs the phone's Java runtime.

#include "amregistry.h"

#include <QString>

struct AmStart
{
    enum Outcome { Started, NeedsJava, Failed };
    Outcome outcome = Failed;
    qint64 pid = 0;
    QString reason;        // why it failed, in English, for logs and standard error
    QString shownReason;   // the same in the phone's language, for the screen
};

AmStart startApplication(const AmApplication& app);
