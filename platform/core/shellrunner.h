#pragma once
// The one way the programs run a shell command line.
//
// Callers build the command words themselves and insert every path or name
// with shellQuote() (phone paths with shellPath(), which maps them first), so a
// name is only ever a name to the shell. A shell pattern such as "/*" is
// written outside the quotes.

#include <QString>
#include <functional>

// The text quoted for the POSIX shell: 'text', each ' written as '\''.
QString shellQuote(const QString& text);

// A phone path mapped to the host (phoneHostPath) and quoted.
QString shellPath(const QString& phonePath);

// Runs the command line synchronously through /bin/sh, encoded in UTF-8, and
// returns its wait status as system() does (-1 when it could not be started).
int runShellCommand(const QString& commandLine);

// Tests may record or replace what runShellCommand does; an empty function
// restores the real shell. The previous runner is returned.
using ShellRunner = std::function<int(const QString& commandLine)>;
ShellRunner setShellRunner(ShellRunner runner);

// True when a wait status from runShellCommand means "exited with status 0".
bool shellSucceeded(int waitStatus);

