#include "appstarter.h"

#include "phonepath.h"

#include <QFileInfo>
#include <QProcess>

AmStart startApplication(const AmApplication& app)
{
    AmStart result;
    if (app.isJava()) {
        result.outcome = AmStart::NeedsJava;
        result.reason = QStringLiteral("a Java application needs the phone's Java runtime");
        return result;
    }
    const QString program = phoneHostPath(app.execPath());
    const QString folder = phoneHostPath(app.directory);
    const QFileInfo info(program);
    if (!QFileInfo(folder).isDir()) {
        result.reason = QStringLiteral("its folder %1 is missing").arg(app.directory);
        return result;
    }
    if (!info.exists()) {
        result.reason = QStringLiteral("its program %1 is missing").arg(app.execPath());
        return result;
    }
    if (!info.isFile() || !info.isExecutable()) {
        result.reason = QStringLiteral("%1 is not a program").arg(app.execPath());
        return result;
    }
    const QStringList args = QProcess::splitCommand(app.args);
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached(&result.pid)) {
        result.reason = QStringLiteral("it could not be started: %1").arg(process.errorString());
        return result;
    }
    result.outcome = AmStart::Started;
    return result;
}
