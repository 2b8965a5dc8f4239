#include "zapplication.h"

#include <QEvent>
#include <QTimer>

ZApplication::ZApplication(int& argc, char** argv, int /*type*/)
    : QApplication(argc, argv)
{
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
