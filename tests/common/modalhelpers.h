#pragma once
// Answering modal dialogs in tests without sleeping: schedule the answers,
// then call the code that opens the dialogs. A Script answers the modal
// widgets an action opens, one after the other; whenModal() and pressKey()
// answer just the next one.

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>

namespace modal {

// The text of a platform message box; null for any other widget.
inline QString messageText(QWidget* w)
{
    if (!w || w->objectName() != QLatin1String("ZMessageBox"))
        return QString();
    auto* text = w->findChild<QTextEdit*>(QStringLiteral("messageText"));
    return text ? text->toPlainText() : QString();
}

inline bool isMessageBox(QWidget* w)
{
    return w && w->objectName() == QLatin1String("ZMessageBox");
}

// Answers the modal widgets an action opens, in order. Each step names what
// it expects (a class name, or "ZMessageBox"), and acts on it from a fresh
// event-loop turn, so that a dialog the step opens in turn is answered by the
// next step. Message-box texts are recorded; a modal widget no step expects
// is recorded as well and closed with Escape, so a test fails instead of
// hanging.
class Script
{
public:
    using Action = std::function<void(QWidget*)>;

    // `besides`: a modal widget already open that no step is meant for.
    explicit Script(QWidget* besides = nullptr) : m_last(besides)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    // `again`: the step may act on the widget the previous step acted on (a
    // dialog that stays open).
    Script& on(const char* kind, Action action, bool again = false)
    {
        m_steps.push_back({QByteArray(kind), std::move(action), again});
        return *this;
    }
    // A message box answered with a key (Qt::Key_1 for its first button ...).
    Script& box(int key)
    {
        return on("ZMessageBox", [key](QWidget* w) { QTest::keyClick(w, Qt::Key(key)); });
    }
    Script& key(const char* kind, int key, bool again = false)
    {
        return on(kind, [key](QWidget* w) { QTest::keyClick(w, Qt::Key(key)); }, again);
    }

    QStringList messages;     // texts of the message boxes, in order
    QStringList unexpected;   // class names of modal widgets no step expected
    bool done() const { return m_steps.empty(); }

private:
    struct Step
    {
        QByteArray kind;
        Action action;
        bool again;
    };

    static bool matches(QWidget* w, const QByteArray& kind)
    {
        if (kind == "ZMessageBox")
            return isMessageBox(w);
        return w->inherits(kind.constData());
    }

    void poll()
    {
        if (m_busy)
            return;
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        const bool same = (w == m_last.data());
        if (!m_steps.empty() && matches(w, m_steps.front().kind)
            && (!same || m_steps.front().again)) {
            Step step = std::move(m_steps.front());
            m_steps.pop_front();
            handle(w, std::move(step.action));
            return;
        }
        if (same)
            return;  // still closing after its answer
        // A dialog whose box just closed is active again for a moment before
        // its next box opens: only a widget that stays unanswered is unexpected.
        if (w != m_candidate.data()) {
            m_candidate = w;
            m_waiting.start();
            return;
        }
        if (m_waiting.elapsed() < 3000)
            return;
        m_candidate = nullptr;
        unexpected << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(':')
                          + messageText(w);
        handle(w, [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    }

    void handle(QWidget* w, Action action)
    {
        m_last = w;
        if (isMessageBox(w))
            messages << messageText(w);
        m_busy = true;
        QPointer<QWidget> target = w;
        QTimer::singleShot(0, [this, target, action] {
            m_busy = false;
            if (target)
                action(target);
        });
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QPointer<QWidget> m_last;
    QPointer<QWidget> m_candidate;
    QElapsedTimer m_waiting;
    bool m_busy = false;
};

// Calls `action` with the active modal widget once one appears that is not
// `besides`, from a fresh event-loop turn. Gives up after `timeoutMs` (the
// test then hangs in exec() only if the dialog never closes, and CTest's
// timeout ends it).
inline void whenModal(std::function<void(QWidget*)> action, QWidget* besides = nullptr,
                      int timeoutMs = 10000)
{
    auto* script = new Script(besides);
    script->on("QWidget", std::move(action));
    auto* check = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    check->setInterval(5);
    QObject::connect(check, &QTimer::timeout, [=] {
        if (script->done() || clock->elapsed() > timeoutMs) {
            check->stop();
            check->deleteLater();
            // After the action's own event-loop turn has run.
            QTimer::singleShot(0, [script] { delete script; });
        }
    });
    check->start();
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
