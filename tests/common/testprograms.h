#pragma once
// Where the tests find the suite's programs and what the build makes beside
// them: the paths this build gave them, the same under CTest and by hand. And
// how a test ties a helper process's life to its own.

#include "testprogramtable.h"

#include <QProcess>
#include <QString>

#include <csignal>
#include <cstring>
#include <sys/prctl.h>

// The program built under `name` (its CMake target: "appkeeper", "am",
// "DayBadge1", ...). Empty for a name the build does not know.
inline QString testProgram(const char* name)
{
    for (const auto& p : kTestPrograms)
        if (std::strcmp(p.name, name) == 0)
            return QString::fromLocal8Bit(p.path);
    return QString();
}

// A file or folder of the build, e.g. "packages" or
// "appkeeper/ezx_appkeeper_lang.cfg".
inline QString testBuildPath(const QString& relative)
{
    return QStringLiteral(EZX_TEST_BUILD_DIR "/") + relative;
}

// Makes a child process (an X server, a FAT card's file system) end when the
// test process ends, however it ends: the kernel signals it then.
inline void endWithTheTest(QProcess& p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}
