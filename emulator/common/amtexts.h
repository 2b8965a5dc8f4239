#pragma once
// The texts the phone's own processes add to a screen (why an application
// did not start, what an empty menu folder holds), in the phone's language:
// Chinese for a "zh" language, English otherwise, as the platform's texts
// (phonelanguage.h). Lines for logs and standard error stay English.

#include <QString>

enum class AmText {
    FolderMissing,     // "%1": the folder's phone path
    NotOwnFolder,      // "%1": the folder's phone path
    ProgramMissing,    // "%1": the program's phone path
    ProgramLeadsOut,   // "%1": the program's phone path
    NotAProgram,       // "%1": the program's phone path
    OtherProcessor,    // "%1": the processor it was built for, "%2": this phone's
    SystemRefused,     // the system could not run it (the log says why)
    EmptyFolder,
    NoFolders,
};

QString amText(AmText which);
