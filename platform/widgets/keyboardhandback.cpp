#include "keyboardhandback.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

constexpr char kHandbackName[] = "keyboardHandback";

QWidget* windowLeftOpen(QWidget* closed, QWidget* owner)
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (owner && owner->isVisible())
        return owner;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != closed && w->isVisible() && !(w->windowType() == Qt::Popup)
            && !(w->windowType() == Qt::ToolTip))
            return w;
    }
    return nullptr;
}

class Handback : public QObject
{
public:
    explicit Handback(QObject* parent) : QObject(parent)
    {
        setObjectName(QLatin1String(kHandbackName));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && w->isModal()) {
                QPointer<QWidget> closed = w;
                QPointer<QWidget> owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
                QTimer::singleShot(0, this, [closed, owner] {
                    if (QApplication::activePopupWidget())
                        return;
                    QWidget* target = windowLeftOpen(closed, owner);
                    if (target && target->isVisible() && QApplication::activeWindow() != target)
                        target->activateWindow();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void handKeyboardBackAfterModals()
{
    if (!qApp || qApp->findChild<QObject*>(QLatin1String(kHandbackName),
                                           Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new Handback(qApp));
}
