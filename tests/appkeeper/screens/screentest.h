#pragma once
// Shared helpers of the screen tests: a phone root with registries, packages
// made with the real tar, and a script of answers for the modal boxes and
// dialogs that an action opens, one after the other.

#include "captiondefaults.h"
#include "immutable.h"
#include "langcaption.h"
#include "phoneroot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>

namespace screentest {

// The application's first argument, which the caption lookups read to find
// the program's folder: tests let the program live in a folder of their own.
inline char** argvSlots()
{
    static char* args[2] = {nullptr, nullptr};
    return args;
}

inline void setProgram(const QString& path)
{
    static QByteArray storage;
    storage = path.toLocal8Bit();
    argvSlots()[0] = storage.data();
}

// The text a caption key shows, as the program looks it up.
inline QString caption(const char* key, const char* gb2312Default)
{
    return readLabelCaption(QString::fromLatin1(key), Text_code(gb2312Default));
}
#define CAP(key) screentest::caption(#key, CaptionDefault::key)

// A text as a message box shows it: its line ends become plain line feeds.
inline QString shown(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

inline int run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Packs `files` (relative path -> bytes; a path ending in "/" is a folder)
// with "tar czf" into the host file `pkg`.
inline bool makePackage(const QString& pkg, const QMap<QString, QByteArray>& files)
{
    QTemporaryDir stage;
    QStringList top;
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = stage.path() + QLatin1Char('/') + it.key();
        if (it.key().endsWith(QLatin1Char('/'))) {
            QDir().mkpath(path);
        } else {
            QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
                return false;
        }
        const QString first = it.key().section(QLatin1Char('/'), 0, 0);
        if (!top.contains(first))
            top << first;
    }
    QDir().mkpath(pkg.section(QLatin1Char('/'), 0, -2));
    return run(QStringLiteral("tar"), QStringList{QStringLiteral("czf"), pkg, QStringLiteral("-C"),
                                                  stage.path()} + top) == 0;
}

inline QByteArray desktopEntry(const QString& name)
{
    return ("[Desktop Entry]\nName = " + name + "\nExec = run.sh\nIcon = icon.png\n").toUtf8();
}

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

    Script()
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

} // namespace screentest

#define SCREENS_TEST_MAIN(TestObject)                                   \
    int main(int argc, char** argv)                                     \
    {                                                                   \
        static int appArgc = 1;                                         \
        static QByteArray first(argv[0]);                               \
        screentest::argvSlots()[0] = first.data();                      \
        QApplication app(appArgc, screentest::argvSlots());             \
        TestObject tc;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                      \
        return QTest::qExec(&tc, argc, argv);                           \
    }
