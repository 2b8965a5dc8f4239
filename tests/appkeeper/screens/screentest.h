#pragma once
// Shared helpers of the screen tests: a phone root with registries, packages
// made with the real tar; the modal answers come from modalhelpers.h.

#include "captiondefaults.h"
#include "immutable.h"
#include "langcaption.h"
#include "modalhelpers.h"
#include "phoneroot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
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
// The names of the list's rows that show lit, as the screen draws them.
template <typename List>
QStringList litRows(List* list)
{
    QStringList lit;
    for (auto* row : list->template findChildren<QAbstractButton*>()) {
        const QImage shot = row->grab().toImage();
        if (shot.pixelColor(shot.width() - 8, shot.height() / 2) == QColor(0xd6, 0xe4, 0xf7))
            lit << row->text();
    }
    return lit;
}

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

using modal::isMessageBox;
using modal::messageText;
using modal::Script;

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
