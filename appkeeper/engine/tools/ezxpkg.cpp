// ezxpkg: the package tool for scripts, over the software manager's engine,
// writer lock and messages.
//
//   ezxpkg install PATH   install a package (no questions asked)
//   ezxpkg remove UID     uninstall an application
//   ezxpkg list           one line per application: UID, name, folder, registry
//   ezxpkg check          finish interrupted work, then report what is left over
//   ezxpkg repair         remove what check reports
//
// Exit status 0 on success, 1 on failure, 2 on bad usage. Messages go to
// standard error in the phone's language; results to standard output.

#include "appidentity.h"
#include "ezxpkginstall.h"
#include "pkgtexts.h"
#include "pkgwriter.h"
#include "zconfig.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: ezxpkg install PATH | remove UID | list | check | repair\n"
    "  install PATH  install the package file PATH\n"
    "  remove UID    uninstall the application UID\n"
    "  list          UID, name, folder and registry of every application, tab-separated\n"
    "  check         finish interrupted work; report folders without a record, records\n"
    "                without their folder and menu entries without a record (exit 1 if any)\n"
    "  repair        remove what check reports\n";

// Standard output as the program found it: the engine's trace lines are
// diagnostics and go to standard error with the messages.
FILE* results = nullptr;

void result(const QString& line)
{
    std::fprintf(results, "%s\n", line.toUtf8().constData());
    std::fflush(results);
}

int fail(const QString& message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "ezxpkg: %s\n", message.toUtf8().constData());
    return 1;
}

int failWith(PkgText which, const QString& a = QString(), const QString& b = QString())
{
    QString text = pkgText(which);
    if (!a.isNull())
        text = text.arg(a);
    if (!b.isNull())
        text = text.arg(b);
    return fail(text);
}

// A field of a listing line: tabs, line breaks and backslashes escaped, so
// that a name can never add a column or a line.
QString field(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return text;
}

int writerRefused(const PkgWriter& writer)
{
    return failWith(writer.refusal());
}

// Why the unpack produced no package folder.
int unpackFailure(const EZXPkgInstall& engine)
{
    if (engine.lacksSpace())
        return failWith(PkgText::CardFull, pkgSizeText(engine.spaceNeeded()),
                        pkgSizeText(engine.spaceFree()));
    if (!engine.sparseNotUnpacked().isEmpty())
        return failWith(PkgText::SparseNotUnpacked, engine.sparseNotUnpacked().first());
    return failWith(PkgText::NotUnpacked);
}

int install(const QString& package)
{
    PkgWriter writer;
    if (!writer.held())
        return writerRefused(writer);
    EZXPkgInstall engine(package);
    // No questions asked: a script has said what it wants.
    switch (engine.runInstall({}, [] { return CreateUID(); })) {
    case InstallStep::Done:
        break;
    case InstallStep::CheckPackage:
        return failWith(PkgText::NoPackage);
    case InstallStep::InstallArea:
        return failWith(PkgText::NoInstallArea);
    case InstallStep::CardRegistry:
        return failWith(PkgText::NoCardRegistry);
    case InstallStep::FindFolder:
        return unpackFailure(engine);
    case InstallStep::DesktopFile:
        return failWith(PkgText::NoDesktopFile);
    case InstallStep::SoftInfo:
        engine.clearInstallTmp();
        return failWith(PkgText::NoDesktopName);
    case InstallStep::Declined:   // never asked
    case InstallStep::Copy:
        if (engine.lacksSpace())
            return failWith(PkgText::CardFull, pkgSizeText(engine.spaceNeeded()),
                            pkgSizeText(engine.spaceFree()));
        return failWith(engine.journalFailed() ? PkgText::NoJournal : PkgText::NotCopied);
    case InstallStep::Register:
        return failWith(PkgText::NotRegistered);
    case InstallStep::Menu:
        return failWith(PkgText::NoMenuEntry);
    }
    result(field(engine.softUID) + QLatin1Char('\t') + field(engine.softName) + QLatin1Char('\t')
           + field(engine.softDirectory));
    return 0;
}

int remove(const QString& uid)
{
    PkgWriter writer;
    if (!writer.held())
        return writerRefused(writer);
    EZXPkgInstall engine{QString()};
    if (engine.unInstallSoft(uid) == 1)
        return 0;
    // Only a failure is looked into: did the UID name a record at all?
    const bool known = !uid.trimmed().isEmpty()
                       && (ZConfig(EZXPkgInstall::installedDBFile(), false).groupExists(uid)
                           || ZConfig(EZXPkgInstall::cardRegistryFile(), false).groupExists(uid));
    if (!known)
        return failWith(PkgText::NoSuchApplication, uid);
    return failWith(engine.journalFailed() ? PkgText::NoJournal : PkgText::UninstallFailed);
}

int list()
{
    for (const QString& file : EZXPkgInstall::recordRegistries()) {
        const ZConfig registry(file, false);
        QStringList groups;
        registry.getGroupsKeyList(groups);
        for (const QString& uid : groups) {
            // Settings groups ([AutoRun] and the like) are no applications.
            const QString name = registry.readEntry(uid, QStringLiteral("Name"), QString());
            if (name.isNull() || uid.trimmed().isEmpty())
                continue;
            result(field(uid) + QLatin1Char('\t') + field(name) + QLatin1Char('\t')
                   + field(registry.readEntry(uid, QStringLiteral("Directory"), QString()))
                   + QLatin1Char('\t') + field(file));
        }
    }
    return 0;
}

void report(const PkgProblems& problems)
{
    for (const QString& folder : problems.foldersWithoutRecord)
        result(QStringLiteral("folder without record\t") + field(folder));
    for (const PkgProblems::Record& record : problems.recordsWithoutFolder)
        result(QStringLiteral("record without folder\t") + field(record.uid) + QLatin1Char('\t')
               + field(record.directory) + QLatin1Char('\t') + field(record.registry));
    for (const QString& uid : problems.menuEntriesWithoutRecord)
        result(QStringLiteral("menu entry without record\t") + field(uid));
    if (!problems.cardPresent)
        std::fprintf(stderr, "ezxpkg: no memory card: its applications were not checked\n");
}

int check(bool repair)
{
    // Taking the lock finishes or undoes what an interrupted writer left.
    PkgWriter writer;
    if (!writer.held())
        return writerRefused(writer);
    PkgProblems problems = findProblems();
    if (repair && !problems.empty()) {
        repairProblems(problems);
        problems = findProblems();
    }
    report(problems);
    return problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Results keep the program's standard output; everything else (the
    // engine's trace lines included) goes to standard error.
    results = fdopen(dup(STDOUT_FILENO), "w");
    if (!results)
        results = stdout;
    else
        dup2(STDERR_FILENO, STDOUT_FILENO);

    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (args.size() == 2 && command == QLatin1String("install"))
        return install(args.at(1));
    if (args.size() == 2 && command == QLatin1String("remove"))
        return remove(args.at(1));
    if (args.size() == 1 && command == QLatin1String("list"))
        return list();
    if (args.size() == 1 && (command == QLatin1String("check") || command == QLatin1String("repair")))
        return check(command == QLatin1String("repair"));
    std::fputs(kUsage, stderr);
    return 2;
}
