#include "appstarter.h"

#include "phonelanguage.h"
#include "phonepath.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>

namespace {

// The processor an ELF program is built for, named as QSysInfo names them
// ("arm", "arm64", "x86_64", ...), or empty when the file is no ELF program.
QString elfProcessor(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(20);
    if (header.size() < 20 || !header.startsWith("\x7f" "ELF"))
        return QString();
    const bool wide = header.at(4) == 2;   // ELFCLASS64
    const bool bigEndian = header.at(5) == 2;
    const uchar lo = uchar(header.at(bigEndian ? 19 : 18));
    const uchar hi = uchar(header.at(bigEndian ? 18 : 19));
    switch (lo | hi << 8) {
    case 3: return QStringLiteral("i386");
    case 8: return wide ? QStringLiteral("mips64") : QStringLiteral("mips");
    case 20: return QStringLiteral("power");
    case 21: return QStringLiteral("power64");
    case 40: return QStringLiteral("arm");
    case 62: return QStringLiteral("x86_64");
    case 183: return QStringLiteral("arm64");
    case 243: return wide ? QStringLiteral("riscv64") : QStringLiteral("riscv32");
    default: return QStringLiteral("machine %1").arg(lo | hi << 8);
    }
}

// Why a program that exists and is executable did not start: a program for
// another processor is named as such (a package built for another phone
// installs, but cannot run here).
void refuseStarted(AmStart* result, const QString& program, const QString& error)
{
    const QString built = elfProcessor(program);
    const QString here = QSysInfo::buildCpuArchitecture();
    if (!built.isEmpty() && built != here) {
        result->reason = QStringLiteral("it is a program for another processor (%1); this phone runs %2 programs")
                             .arg(built, here);
        result->shownReason = platformText(PlatformText::OtherProcessor).arg(built, here);
        return;
    }
    result->reason = QStringLiteral("it could not be started: %1").arg(error);
    result->shownReason = platformText(PlatformText::SystemRefused);
}

// A refusal about one path: in English for the log, in the phone's language
// for the screen.
void refuse(AmStart* result, const char* english, PlatformText shown, const QString& path)
{
    result->reason = QLatin1String(english).arg(path);
    result->shownReason = platformText(shown).arg(path);
}

} // namespace

AmStart startApplication(const AmApplication& app)
{
    AmStart result;
    if (app.isJava()) {
        result.outcome = AmStart::NeedsJava;
        result.reason = QStringLiteral("a Java application needs the phone's Java runtime");
        result.shownReason = platformText(PlatformText::NeedsJava).arg(app.name);
        return result;
    }
    // Only an application's own program starts: its folder and its program
    // are looked at again now, through every link, since the folder may
    // have changed since the menu was read.
    if (!phoneExists(app.directory)) {
        refuse(&result, "its folder %1 is missing", PlatformText::FolderMissing, app.directory);
        return result;
    }
    const QString ownFolder = phoneApplicationFolder(app.directory);
    if (ownFolder.isNull()) {
        refuse(&result, "its folder %1 is not an application's own folder", PlatformText::NotOwnFolder,
               app.directory);
        return result;
    }
    if (!phoneExists(app.execPath())) {
        refuse(&result, "its program %1 is missing", PlatformText::ProgramMissing, app.execPath());
        return result;
    }
    const QString realProgram = phoneRealPath(app.execPath());
    if (realProgram.isNull() || !realProgram.startsWith(ownFolder + QLatin1Char('/'))) {
        refuse(&result, "its program %1 leads out of its folder", PlatformText::ProgramLeadsOut, app.execPath());
        return result;
    }
    const QString program = phoneHostPath(realProgram);
    const QString folder = phoneHostPath(ownFolder);
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        refuse(&result, "%1 is not a program", PlatformText::NotAProgram, app.execPath());
        return result;
    }
    const QStringList args = QProcess::splitCommand(app.args);
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached(&result.pid)) {
        refuseStarted(&result, program, process.errorString());
        return result;
    }
    result.outcome = AmStart::Started;
    return result;
}
