// am: the application manager's main menu of the phone.
//   am            reads the menu and waits, hidden, for the phone's menu key; reads it
//                 again whenever the menu tree or a registry changes on disk
//   am --show     the same, with the menu shown at once
//   am --list     prints the menu it would show and ends (no screen needed)
//   am --start UID  starts the application as the menu's centre key would,
//                 prints its pid and ends (the refusal on standard error, exit 1)
#include "ammenuwatcher.h"
#include "ammenuwindow.h"
#include "amregistry.h"
#include "zapplication.h"

#include "amchannel.h"
#include "appstarter.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

char g_socketPath[4096];

// "kill $(pidof am)" ends am as before; only its socket goes with it, so
// that no stale socket is left behind in the temporary folder.
void endOnTerm(int sig)
{
    if (g_socketPath[0])
        ::unlink(g_socketPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// A registry from the card may name thousands of unknown or broken entries:
// the first few are said one by one, the rest counted on one line.
const int kWarningLines = 20;

void printWarnings(const AmMenu& menu)
{
    const int shown = qMin(int(menu.warnings.size()), kWarningLines);
    for (int i = 0; i < shown; ++i)
        std::fprintf(stderr, "am: skipped %s\n", menu.warnings.at(i).toLocal8Bit().constData());
    if (menu.warnings.size() > shown)
        std::fprintf(stderr, "am: skipped %d more entries\n", int(menu.warnings.size()) - shown);
}
} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "--list") == 0) {
        QCoreApplication app(argc, argv);
        const AmMenu menu = loadAmMenu();
        printWarnings(menu);
        std::fputs(formatAmMenu(menu).toUtf8().constData(), stdout);
        return 0;
    }
    if (std::strcmp(mode, "--start") == 0) {
        if (argc != 3) {
            std::fputs("usage: am --start UID\n", stderr);
            return 2;
        }
        QCoreApplication app(argc, argv);
        const QString uid = QString::fromLocal8Bit(argv[2]);
        const AmRecords records;
        AmApplication found;
        QString why;
        if (!records.find(uid, &found, &why)) {
            std::fprintf(stderr, "am: %s: %s\n", uid.toLocal8Bit().constData(), why.toLocal8Bit().constData());
            return 1;
        }
        const AmStart started = startApplication(found);
        if (started.outcome != AmStart::Started) {
            std::fprintf(stderr, "am: %s cannot be started: %s\n", found.name.toLocal8Bit().constData(),
                         started.reason.toLocal8Bit().constData());
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(started.pid));
        return 0;
    }
    if (std::strcmp(mode, "--help") == 0 || std::strcmp(mode, "-h") == 0) {
        std::puts("usage: am [--show | --list | --start UID]");
        return 0;
    }
    ZApplication::exitIfNoDisplay("am", 1);
    ZApplication app(argc, argv);
    // Watched before the first reading: no change in between is missed.
    AmMenuWatcher watcher(AmMenuWatcher::menuFiles());
    const AmMenu menu = loadAmMenu();
    printWarnings(menu);
    AmMenuWindow window(menu);
    window.follow(&watcher);
    if (window.listen()) {
        const QByteArray path = QFile::encodeName(amChannelName());
        if (path.size() < int(sizeof g_socketPath)) {
            std::memcpy(g_socketPath, path.constData(), size_t(path.size()) + 1);
            std::signal(SIGTERM, endOnTerm);
            std::signal(SIGINT, endOnTerm);
        }
    } else {
        std::fprintf(stderr, "am: the phone's menu key cannot reach this menu (no socket)\n");
    }
    std::printf("am: ready, %d folders, %d applications\n", int(menu.folders.size()),
                menu.applicationCount());
    std::fflush(stdout);
    if (std::strcmp(mode, "--show") == 0)
        window.showMenu();
    // The menu hides, it never closes: am lives until the platform ends it.
    app.setQuitOnLastWindowClosed(false);
    return app.exec();
}
