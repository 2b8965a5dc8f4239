// pkginstall-demo <package>: installs one package on the phone named by
// EZX_ROOT with the engine's install steps (answering the confirmation with
// yes) and prints the registry record it wrote.

#include "appidentity.h"
#include "ezxpkginstall.h"
#include "zconfig.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        say(QStringLiteral("usage: pkginstall-demo <package file>"));
        return 2;
    }
    EZXPkgInstall engine(args.at(1));
    struct Step { const char* name; bool (EZXPkgInstall::*run)(); };
    const Step before[] = {
        {"checkPKGFile", &EZXPkgInstall::checkPKGFile},
        {"checkInstallTmpPath", &EZXPkgInstall::checkInstallTmpPath},
        {"checkInstallDB", &EZXPkgInstall::checkInstallDB},
    };
    const Step after[] = {
        {"getPKGPathFromInstallTmpPath", &EZXPkgInstall::getPKGPathFromInstallTmpPath},
        {"getPKGDesktopFile", &EZXPkgInstall::getPKGDesktopFile},
        {"getPKGSoftInfo", &EZXPkgInstall::getPKGSoftInfo},
        {"copyPKGFolderFromInstallTmpPath", &EZXPkgInstall::copyPKGFolderFromInstallTmpPath},
    };
    auto run = [&](const Step& step) {
        const bool ok = (engine.*step.run)();
        say(QStringLiteral("%1: %2").arg(QLatin1String(step.name), ok ? "ok" : "failed"));
        return ok;
    };
    for (const Step& step : before)
        if (!run(step))
            return 1;
    engine.exPKGInstallTmp();
    say(QStringLiteral("exPKGInstallTmp: %1").arg(engine.unpackSucceeded() ? "ok" : "failed"));
    for (const Step& step : after)
        if (!run(step))
            return 1;
    engine.softUID = CreateUID();
    if (!run({"regSoftInfo_InstallDB", &EZXPkgInstall::regSoftInfo_InstallDB})
        || !run({"regSoftInfo_Menu", &EZXPkgInstall::regSoftInfo_Menu}))
        return 1;
    engine.clearInstallTmp();

    say(QStringLiteral("\nInstalled \"%1\" into %2; record in %3:\n")
            .arg(engine.softName, engine.softDirectory, engine.installDBFile));
    say(QLatin1Char('[') + engine.softUID + QLatin1Char(']'));
    const ZConfig registry(engine.installDBFile, false);
    for (const char* key : {"BigIcon", "Exec", "Icon", "Name", "OsVersion", "Shared", "Comment",
                            "AppID", "Directory", "InstalledDate", "AniIcon", "Args", "Attribute",
                            "Daemon", "Eraseable", "FixedAllPosition", "FixedPosition", "GroupID",
                            "JavaId", "MassStorageStatus", "MpkgFile", "Type", "UserID", "Visible",
                            "Size"})
        say(QLatin1String(key) + QStringLiteral(" = ")
            + registry.readEntry(engine.softUID, QLatin1String(key)));
    return 0;
}
