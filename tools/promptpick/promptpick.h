#pragma once
// promptpick: lets a shell script ask the user to choose one entry of a list.
//
//   promptpick [<title>] [<text>] [<entry>...] [0 <ignored>...]
//
// The exit status is the chosen entry's position counted from 1, or 0 when the
// dialog was left without a choice.

#include <QString>
#include <QStringList>

class QTextCodec;
class ZApplication;

struct PromptRequest {
    QString title = QStringLiteral("Notify");
    QString text = QStringLiteral("None");
    QStringList entries;
};

// Reads title, text and entries from the arguments (argv[0] is the program),
// each decoded with `codec`. The entries end at the last argument or before
// the first argument that is exactly "0".
PromptRequest readPromptArgs(int argc, char** argv, QTextCodec* codec);

// The exit status for a dialog result counted from 0 (-1: none chosen).
int promptExitStatus(int checkedIndex);

// The whole program once the application object exists: shows the dialog as
// the main widget, runs the event loop until it closes, and returns the exit
// status.
int promptPickMain(ZApplication& app, int argc, char** argv);
