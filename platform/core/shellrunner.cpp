#include "shellrunner.h"

#include "phonepath.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace {

ShellRunner& currentRunner()
{
    static ShellRunner runner;
    return runner;
}

} // namespace

QString shellQuote(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString shellPath(const QString& phonePath)
{
    return shellQuote(phoneHostPath(phonePath));
}

int runShellCommand(const QString& commandLine)
{
    if (currentRunner())
        return currentRunner()(commandLine);
    // Output written through stdio before the child runs must come first.
    std::fflush(nullptr);
    return std::system(commandLine.toUtf8().constData());
}

ShellRunner setShellRunner(ShellRunner runner)
{
    ShellRunner previous = std::move(currentRunner());
    currentRunner() = std::move(runner);
    return previous;
}

bool shellSucceeded(int waitStatus)
{
    return waitStatus != -1 && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
}
