#pragma once
// Runs a dialog tool where no screen can be opened: no DISPLAY at all, or
// one where no X server answers. Returns the exit code (-1 when it crashed
// or did not end) and what it wrote on standard error.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct NoDisplayRun
{
    int exitCode = -1;
    QByteArray err;
};

inline NoDisplayRun runWithoutDisplay(const QString& program, const QStringList& args,
                                      const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    NoDisplayRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    return r;
}
