// promptpick: what the dialog shows for its arguments, and the exit status a
// script gets for each answer.

#include "modalhelpers.h"
#include "promptpick.h"
#include "xsession.h"
#include "zapplication.h"

#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QScreen>

#include "nodisplay.h"
#include "testprograms.h"
#include <QTextCodec>
#include <QTextEdit>
#include <QtTest>

namespace {

// argv for a list of arguments; argv[0] is the program.
struct Argv {
    explicit Argv(const QList<QByteArray>& args)
        : storage(QList<QByteArray>{"promptpick"} + args)
    {
        for (QByteArray& a : storage)
            ptrs.push_back(a.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return int(ptrs.size()) - 1; }
    char** argv() { return ptrs.data(); }
    QList<QByteArray> storage;
    std::vector<char*> ptrs;
};

QList<QByteArray> numbered(int n)
{
    QList<QByteArray> out;
    for (int i = 1; i <= n; ++i)
        out << QByteArray("Entry ") + QByteArray::number(i);
    return out;
}

struct Shown {
    QString title, text;
    QStringList entries;
};

void sendKeys(QWidget* w, const QList<int>& keys)
{
    for (int k : keys)
        QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key(k));
}

} // namespace

class TestPromptPick : public QObject
{
    Q_OBJECT
private slots:
    void showsAndAnswers_data();
    void showsAndAnswers();
    void invalidUtf8IsReplacedNotLost();
    void processExitStatus_data();
    void processExitStatus();
    void noDisplay_data();
    void noDisplay();
};

// What the dialog shows for the arguments (title, text, the entries up to a
// lone "0"), and the status the keys give: the chosen entry counted from 1, 0
// when the dialog is left. The dialog covers the phone screen, and the
// marked entry is in view when it is chosen.
void TestPromptPick::showsAndAnswers_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("status");

    const QList<int> ret{Qt::Key_Return};
    QTest::newRow("none") << QList<QByteArray>{} << "Notify" << "None" << QStringList{} << ret << 0;
    QTest::newRow("title only") << QList<QByteArray>{"Pick"} << "Pick" << "None" << QStringList{}
                                << QList<int>{Qt::Key_F1} << 0;
    QTest::newRow("no entries") << QList<QByteArray>{"Pick", "Which?"} << "Pick" << "Which?"
                                << QStringList{} << QList<int>{Qt::Key_Down, Qt::Key_Return} << 0;
    const QList<QByteArray> three{"Fruit", "Which one?", "apple", "pear", "plum"};
    const QStringList fruit{"apple", "pear", "plum"};
    QTest::newRow("second of three") << three << "Fruit" << "Which one?" << fruit
                                     << QList<int>{Qt::Key_Down, Qt::Key_Return} << 2;
    QTest::newRow("first by F1") << three << "Fruit" << "Which one?" << fruit
                                 << QList<int>{Qt::Key_F1} << 1;
    QTest::newRow("third") << three << "Fruit" << "Which one?" << fruit
                           << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return} << 3;
    QTest::newRow("left: 0") << three << "Fruit" << "Which one?" << fruit
                             << QList<int>{Qt::Key_Down, Qt::Key_Escape} << 0;
    QTest::newRow("F2: 0") << three << "Fruit" << "Which one?" << fruit << QList<int>{Qt::Key_F2}
                           << 0;
    QTest::newRow("ends at 0") << QList<QByteArray>{"T", "X", "a", "b", "0", "c", "d"} << "T"
                               << "X" << QStringList{"a", "b"}
                               << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return} << 2;
    QTest::newRow("0 first") << QList<QByteArray>{"T", "X", "0", "a"} << "T" << "X"
                             << QStringList{} << ret << 0;
    QTest::newRow("00, 0a, ' 0' are entries")
        << QList<QByteArray>{"T", "X", "00", "0a", " 0", "0 "} << "T" << "X"
        << QStringList{"00", "0a", " 0", "0 "} << QList<int>{Qt::Key_End, Qt::Key_Return} << 4;
    QTest::newRow("title and text 0 are no end") << QList<QByteArray>{"0", "0", "a"} << "0" << "0"
                                                 << QStringList{"a"} << ret << 1;
    QTest::newRow("empty words stay")
        << QList<QByteArray>{"", "", "", "a"} << "" << "" << QStringList{"", "a"}
        << QList<int>{Qt::Key_Down, Qt::Key_Return} << 2;
    QTest::newRow("chinese")
        << QList<QByteArray>{"选择", "请选一个", "苹果", "香蕉"} << QString::fromUtf8("选择")
        << QString::fromUtf8("请选一个") << QStringList{QString::fromUtf8("苹果"), QString::fromUtf8("香蕉")}
        << QList<int>{Qt::Key_Down, Qt::Key_Return} << 2;
    QStringList many;
    for (int i = 1; i <= 300; ++i)
        many << QStringLiteral("Entry %1").arg(i);
    QTest::newRow("last of 300") << (QList<QByteArray>{"T", "X"} + numbered(300)) << "T" << "X"
                                 << many << QList<int>{Qt::Key_End, Qt::Key_Return} << 300;
    QTest::newRow("300, page down twice")
        << (QList<QByteArray>{"T", "X"} + numbered(300)) << "T" << "X" << many
        << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Return} << -1;
}

void TestPromptPick::showsAndAnswers()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, keys);
    QFETCH(int, status);

    Argv a(args);
    Shown shown;
    QRect window;
    bool markedInView = true;
    int marked = -1;
    modal::whenModal([&](QWidget* w) {
        shown.title = w->findChild<QLabel*>(QStringLiteral("titleBar"))->text();
        shown.text = w->findChild<QTextEdit*>(QStringLiteral("selectText"))->toPlainText();
        auto* list = w->findChild<QListWidget*>(QStringLiteral("selectList"));
        for (int i = 0; i < list->count(); ++i)
            shown.entries << list->item(i)->text();
        window = QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        QList<int> moves = keys;
        const int last = moves.takeLast();
        sendKeys(w, moves);
        if (QListWidgetItem* item = list->currentItem()) {
            marked = list->currentRow();
            markedInView = list->viewport()->rect().contains(list->visualItemRect(item));
        }
        sendKeys(w, {last});
    });
    const int got = promptPickMain(*ZApplication::instance(), a.argc(), a.argv());
    QCOMPARE(shown.title, title);
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.entries, entries);
    QCOMPARE(window, QRect(QGuiApplication::primaryScreen()->geometry().topLeft(), QSize(240, 320)));
    QVERIFY2(markedInView, qPrintable(QString::number(marked)));
    // Paging moves by what the list shows: somewhere past the first screenful.
    if (status < 0)
        QVERIFY2(got > 2 && got < 300, qPrintable(QString::number(got)));
    else
        QCOMPARE(got, status);
}

void TestPromptPick::invalidUtf8IsReplacedNotLost()
{
    Argv a({"ok\xff", "\xc3(", "\xe4\xb8", "fine"});
    const PromptRequest r = readPromptArgs(a.argc(), a.argv(), QTextCodec::codecForName("UTF-8"));
    const QChar bad(0xfffd);
    QCOMPARE(r.title, QString(QStringLiteral("ok")) + bad);
    QVERIFY(r.text.contains(bad) && r.text.endsWith(QLatin1Char('(')));
    QCOMPARE(r.entries.size(), 2);
    QVERIFY(r.entries.at(0).contains(bad));
    QCOMPARE(r.entries.at(1), QStringLiteral("fine"));
}

void TestPromptPick::processExitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("status");

    const QStringList three{"Fruit", "Which one?", "apple", "pear", "plum", "0", "ignored"};
    QTest::newRow("second of three") << three << QStringList{"Down", "Return"} << 2;
    QTest::newRow("left") << three << QStringList{"Escape"} << 0;
    QStringList many{"T", "X"};
    for (int i = 1; i <= 300; ++i)
        many << QStringLiteral("Entry %1").arg(i);
    // The system keeps 8 bits of an exit status: 300 arrives as 44.
    QTest::newRow("300 wraps") << many << QStringList{"End", "Return"} << (300 & 0xff);
}

void TestPromptPick::processExitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, keys);
    QFETCH(int, status);

    XSession x;
    if (!x.start())
        QSKIP(qPrintable(x.error()));
    QProcess p;
    x.prepare(p);
    p.start(testProgram("promptpick"), args);
    QVERIFY(p.waitForStarted(10000));
    QVERIFY2(x.pressKeysOnWindowOf(p.processId(), keys), qPrintable(x.error()));
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(5000);
        QFAIL("promptpick did not end after the keys");
    }
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), status);
}

void TestPromptPick::noDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("no DISPLAY") << QString();
    QTest::newRow("no X server at DISPLAY") << QStringLiteral(":4242");
}

// Without a screen nothing was chosen: status 0 (abort()'s 134 would read
// as entry 134), and standard error says why.
void TestPromptPick::noDisplay()
{
    QFETCH(QString, display);
    const NoDisplayRun r = runWithoutDisplay(testProgram("promptpick"), {"T", "X", "a", "b"}, display);
    QCOMPARE(r.exitCode, 0);
    // One line of its own, none of the toolkit's advice on platform plugins.
    QVERIFY2(r.err.startsWith("promptpick: no display to show on: "), r.err.constData());
    QCOMPARE(r.err.count('\n'), 1);
}

int main(int argc, char** argv)
{
    ZApplication app(argc, argv, 1);
    TestPromptPick t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_promptpick.moc"
