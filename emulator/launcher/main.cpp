// phone-emulator: the phone's platform on a desktop.
//   phone-emulator [--root <phone root>] [--screen auto|xephyr|xvfb|offscreen]
//                  [--zoom 1|2|3|4] [--info-file <file>] [--no-namespace]
// The phone root is --root or EZX_ROOT. `am` and `phone` are looked up beside
// this program's build folder (../am/am, ../phone/phone), beside it, or where
// `cmake --install` puts them (libexec/ezxsuite/ beside bin/).
#include "phonelauncher.h"
#include "pidnamespace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

QString findProgram(const QString& selfDir, const QString& name)
{
    for (const QString& c : {selfDir + QStringLiteral("/../") + name + QLatin1Char('/') + name,
                             selfDir + QLatin1Char('/') + name,
                             selfDir + QStringLiteral("/" EZX_LIBEXEC_FROM_BIN "/") + name})
        if (QFileInfo(c).isExecutable())
            return QFileInfo(c).absoluteFilePath();
    return QString();
}

int usage(const char* why)
{
    if (why)
        std::fprintf(stderr, "phone-emulator: %s\n", why);
    std::fputs("usage: phone-emulator [--root <phone root>] [--screen auto|xephyr|xvfb|offscreen]\n"
               "                      [--zoom 1|2|3|4] [--info-file <file>] [--no-namespace]\n",
               why ? stderr : stdout);
    return why ? 2 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool noNamespace = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-namespace") == 0)
            noNamespace = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return usage(nullptr);

    bool namespaced = insideOwnPidNamespace();
    if (!namespaced && !noNamespace) {
        const UnshareFlags how = probeUnshare();
        if (how.available)
            return runInsideNamespace(how, argc, argv);
        std::fputs("phone-emulator: this machine allows no PID namespace (unshare --pid failed); "
                   "the phone's \"kill $(pidof am)\" reaches every process of that name on the "
                   "machine\n",
                   stderr);
    }

    QCoreApplication app(argc, argv);
    LauncherOptions options;
    options.namespaced = namespaced;
    options.screen = QStringLiteral("auto");
    options.root = QString::fromLocal8Bit(qgetenv("EZX_ROOT"));
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--root") && hasValue)
            options.root = args.at(++i);
        else if (a == QLatin1String("--screen") && hasValue)
            options.screen = args.at(++i);
        else if (a == QLatin1String("--zoom") && hasValue) {
            bool ok = false;
            options.zoom = args.at(++i).toInt(&ok);
            if (!ok || options.zoom < 1 || options.zoom > 4)
                return usage(qPrintable(QStringLiteral("--zoom takes 1, 2, 3 or 4, not '%1'").arg(args.at(i))));
        } else if (a == QLatin1String("--info-file") && hasValue)
            options.infoFile = QFileInfo(args.at(++i)).absoluteFilePath();
        else if (a != QLatin1String("--no-namespace"))
            return usage(qPrintable(QStringLiteral("unknown argument '%1'").arg(a)));
    }
    if (options.root.isEmpty())
        return usage("no phone root: give --root <folder> or set EZX_ROOT");
    if (!QFileInfo(options.root).isDir())
        return usage(qPrintable(QStringLiteral("the phone root %1 is not a folder").arg(options.root)));
    options.root = QFileInfo(options.root).absoluteFilePath();
    const QString selfDir = QCoreApplication::applicationDirPath();
    options.amProgram = findProgram(selfDir, QStringLiteral("am"));
    options.phoneProgram = findProgram(selfDir, QStringLiteral("phone"));
    if (options.amProgram.isEmpty() || options.phoneProgram.isEmpty())
        return usage("the programs am and phone are not beside this one");

    PhoneLauncher::installSignalHandlers();
    PhoneLauncher launcher(options);
    if (!launcher.start()) {
        launcher.stop(1);
        return 1;
    }
    return app.exec();
}
