#pragma once
// The phone's language, and the platform's own texts in it.
//
// The language is the setting "LanguageType" of group "SYS_SYSTEM_SET" in the
// phone's "/ezx_user/download/appwrite/setup/ezx_system.cfg"; a phone without
// the setting speaks "zh-cn". The platform's dialogs (file picker, choice
// list, notices) speak Chinese for a "zh" language and English otherwise, as
// the programs' caption files do for the same setting.

#include <QString>
#include <QStringList>

QString phoneLanguage();
bool phoneSpeaksChinese();

enum class PlatformText {
    Ok,
    Open,
    Cancel,
    Select,
    Back,
    InstallComplete,
    // The phone's own processes (emulator/): the main menu, the idle screen.
    MainMenu,
    NeedsJava,      // "%1": the application's name
    CannotStart,    // "%1": the application's name
    NoService,
    Menu,
    Keys,
    KeysHelp,
    MenuStarting,
    // Why the menu did not start an application, and what an empty menu holds.
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

QString platformText(PlatformText which);
// The text in Chinese (`chinese`) or English, whatever the phone speaks.
QString platformText(PlatformText which, bool chinese);

// Whether a screen showing `texts` (a script's title, question and entries)
// speaks Chinese: yes when any of them holds Chinese characters, no when they
// hold Latin letters and none, else as the phone does. The platform's own
// words on that screen (its soft keys) follow, so one screen speaks one
// language.
bool textsAreChinese(const QStringList& texts);
