// am: the application manager's main menu of the phone.
//   am            reads the menu and waits, hidden, for the phone's menu key
//   am --show     the same, with the menu shown at once
//   am --list     prints the menu it would show and ends (no screen needed)
#include "ammenuwindow.h"
#include "amregistry.h"
#include "zapplication.h"

#include "amchannel.h"

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

void printWarnings(const AmMenu& menu)
{
    for (const QString& w : menu.warnings)
        std::fprintf(stderr, "am: skipped %s\n", w.toLocal8Bit().constData());
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
    if (std::strcmp(mode, "--help") == 0 || std::strcmp(mode, "-h") == 0) {
        std::puts("usage: am [--show | --list]");
        return 0;
    }
    ZApplication::exitIfNoDisplay("am", 1);
    ZApplication app(argc, argv);
    const AmMenu menu = loadAmMenu();
    printWarnings(menu);
    AmMenuWindow window(menu);
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
