#include "zapplication.h"

#include <cstdio>
#include <cstdlib>

#include <QEvent>
#include <QTimer>

namespace {

const char* g_noDisplayProgram = nullptr;
int g_noDisplayStatus = 0;
QtMessageHandler g_previousHandler = nullptr;

void noDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && g_noDisplayProgram) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: no display to show on: %s\n", g_noDisplayProgram,
                     message.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(g_noDisplayStatus);
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
