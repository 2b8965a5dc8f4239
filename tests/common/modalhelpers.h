#pragma once
// Answering modal dialogs in tests without sleeping: schedule the answer, then
// call the code that opens the dialog. The answer runs as soon as a modal
// widget (other than one already open before, if given) is active.

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace modal {

// Calls `action` with the active modal widget once one appears that is not
// `besides`. Gives up after `timeoutMs` (the test then hangs in exec() only if
// the dialog never closes, and CTest's timeout ends it).
inline void whenModal(std::function<void(QWidget*)> action, QWidget* besides = nullptr,
                      int timeoutMs = 10000)
{
    auto timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skip = besides;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=]() {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w != skip.data() && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Presses `key` on the next modal widget.
inline void pressKey(int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                     QWidget* besides = nullptr)
{
    whenModal([=](QWidget* w) {
        QWidget* target = w->focusWidget() ? w->focusWidget() : w;
        QTest::keyClick(target, Qt::Key(key), mods);
    }, besides);
}

} // namespace modal
