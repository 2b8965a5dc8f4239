#include "zapplication.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QEvent>
#include <QTimer>

namespace {

const char* g_noDisplayProgram = nullptr;
int g_noDisplayStatus = 0;
QtMessageHandler g_previousHandler = nullptr;

// Why no screen could be opened, in one line: for X (the desktop's usual
// platform) from DISPLAY, else the toolkit's first word on its platform.
QByteArray g_platformComplaint;

QByteArray noDisplayReason(const QString& fatal)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform.startsWith("xcb")) {
        const QByteArray display = qgetenv("DISPLAY");
        return display.isEmpty() ? QByteArray("DISPLAY is not set")
                                 : "no X server answers at DISPLAY " + display;
    }
    if (!g_platformComplaint.isEmpty())
        return g_platformComplaint;
    return fatal.section(QLatin1Char('\n'), 0, 0).toLocal8Bit();
}

void noDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_noDisplayProgram) {
        if (type == QtFatalMsg) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: no display to show on: %s\n", g_noDisplayProgram,
                         noDisplayReason(message).constData());
            std::fflush(stderr);
            std::_Exit(g_noDisplayStatus);
        }
        // The toolkit's advice on its platform plugins is for developers; a
        // script's user gets the one line above instead.
        if (context.category && std::strncmp(context.category, "qt.qpa", 6) == 0) {
            if (g_platformComplaint.isEmpty())
                g_platformComplaint = message.toLocal8Bit();
            return;
        }
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

void ZApplication::exitIfNoDisplay(const char* program, int status)
{
    g_noDisplayProgram = program;
    g_noDisplayStatus = status;
    g_previousHandler = qInstallMessageHandler(noDisplayHandler);
}

ZApplication::ZApplication(int& argc, char** argv, int /*type*/)
    : QApplication(argc, argv)
{
    // The screen is open: fatal messages from now on are the usual ones.
    if (g_noDisplayProgram) {
        qInstallMessageHandler(g_previousHandler);
        g_noDisplayProgram = nullptr;
    }
}

ZApplication::~ZApplication() = default;

void ZApplication::setMainWidget(QWidget* widget)
{
    if (m_mainWidget)
        m_mainWidget->removeEventFilter(this);
    m_mainWidget = widget;
    if (widget)
        widget->installEventFilter(this);
}

QWidget* ZApplication::mainWidget() const
{
    return m_mainWidget;
}

ZApplication* ZApplication::instance()
{
    return qobject_cast<ZApplication*>(QCoreApplication::instance());
}

bool ZApplication::eventFilter(QObject* watched, QEvent* event)
{
    // Closing (or hiding after a close) the main widget ends the event loop,
    // whether other windows are open or not.
    if (watched == m_mainWidget && event->type() == QEvent::Close) {
        QTimer::singleShot(0, this, [] { QCoreApplication::quit(); });
    }
    return QApplication::eventFilter(watched, event);
}
