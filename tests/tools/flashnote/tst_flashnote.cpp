// flashnote: the arguments and their defaults, the icon's source, which box
// is shown, and what a script sees of the real program (usage text, exit
// status, how long it runs).

#include "mainwidget.h"
#include "modalhelpers.h"
#include "phoneroot.h"
#include "resiconreader.h"
#include "xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>

#include "nodisplay.h"
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <climits>

namespace {

struct Argv {
    explicit Argv(const QList<QByteArray>& args)
        : storage(QList<QByteArray>{"flashnote"} + args)
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

struct Shown {
    bool seen = false;
    QString text;
    QStringList buttons;
    QImage icon;   // null when the box shows none
};

QImage resourceIcon(const char* name)
{
    RES_ICON_Reader r;
    return r.getIcon(QString::fromLatin1(name), true).toImage();
}

QImage redSquare()
{
    QImage img(20, 20, QImage::Format_ARGB32);
    img.fill(Qt::red);
    return img;
}

// Runs showpopup with `args`, records the box and answers it with `key`
// (a timed box is left early with Escape so that the test need not wait).
Shown runPopup(const QList<QByteArray>& args, int key = Qt::Key_1)
{
    Shown shown;
    modal::whenModal([&shown, key](QWidget* box) {
        shown.seen = true;
        shown.text = box->findChild<QTextEdit*>(QStringLiteral("messageText"))->toPlainText();
        for (auto* b : box->findChildren<QPushButton*>())
            shown.buttons << b->text();
        auto* l = box->findChild<QLabel*>(QStringLiteral("messageIcon"));
        if (!l->isHidden())
            shown.icon = l->pixmap().toImage();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box,
                        Qt::Key(shown.buttons.isEmpty() ? Qt::Key_Escape : key));
    });
    MainWidget w(QStringLiteral("flashnote"), true);
    Argv a(args);
    w.showpopup(a.argc(), a.argv());
    return shown;
}

// The usage text a script sees, line by line.
const QByteArray UsageText =
    "\n"
    "\n"
    "flashnote\n"
    "Usage: \n"
    "        flashnote <message> [<gificon>] [<delay>] [<buttonmsg>]\n"
    "\n"
    "        <message> string to display\n"
    "        <gificon> name of icon file\n"
    "        <delay> time in second before is the number of seconds before exit set by default to 3\n"
    "        <buttonmsg> message to allocate instead of Ok in case of a null delay\n"
    "\n"
    "Note: a null <delay> trigers the appear of a Ok button to press to exit\n"
    "\n";

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out;
    qint64 ms = 0;
    bool finished = false;
};

Run runProgram(const QStringList& args, int timeoutMs, XSession* x = nullptr,
               const QStringList& keys = {})
{
    Run r;
    QProcess p;
    if (x)
        x->prepare(p);
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(FLASHNOTE_BIN), args);
    if (!p.waitForStarted(10000))
        return r;
    if (x)
        x->pressKeysOnWindowOf(p.processId(), keys);
    r.finished = p.waitForFinished(timeoutMs);
    r.ms = clock.elapsed();
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.out = p.readAllStandardOutput();
    return r;
}

} // namespace

class TestFlashnote : public QObject
{
    Q_OBJECT
private slots:
    void delayReadsLikeAtoi_data();
    void delayReadsLikeAtoi();
    void slotIsRegistered();
    void showsTheRightBox_data();
    void showsTheRightBox();
    void iconFromFileOrResource_data();
    void iconFromFileOrResource();
    void hostileText_data();
    void hostileText();
    void timedRunsEndByThemselves_data();
    void timedRunsEndByThemselves();
    void buttonRunsEndWhenPressed_data();
    void buttonRunsEndWhenPressed();
    void noDisplay_data();
    void noDisplay();
};

void TestFlashnote::delayReadsLikeAtoi_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("3") << QByteArray("3") << 3;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("-5") << QByteArray("-5") << -5;
    QTest::newRow("+4") << QByteArray("+4") << 4;
    QTest::newRow("blanks") << QByteArray(" \t7") << 7;
    QTest::newRow("tail ignored") << QByteArray("12abc") << 12;
    QTest::newRow("abc") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("sign only") << QByteArray("-") << 0;
    QTest::newRow("1.9") << QByteArray("1.9") << 1;
    QTest::newRow("huge") << QByteArray("99999999999999999999999") << INT_MAX;
    QTest::newRow("huge negative") << QByteArray("-99999999999999999999999") << INT_MIN;
}

void TestFlashnote::delayReadsLikeAtoi()
{
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(readDelay(text.constData()), value);
}

void TestFlashnote::slotIsRegistered()
{
    QVERIFY(MainWidget::staticMetaObject.indexOfSlot("showpopup(int,char**)") >= 0);
    MainWidget w(QStringLiteral("flashnote"), true);
    QCOMPARE(w.caption(), QStringLiteral("flashnote"));
    QVERIFY(!w.isVisible());
}

void TestFlashnote::showsTheRightBox_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");   // empty: the timed box

    QTest::newRow("none: usage, timed")
        << QList<QByteArray>{} << QStringLiteral("Usage: \nflashnote <message> <gificon> <delay>\n")
        << QStringList{};
    QTest::newRow("one argument: timed") << QList<QByteArray>{"Hello"} << "Hello" << QStringList{};
    QTest::newRow("delay 0: Ok") << QList<QByteArray>{"Hi", "Dialog_Error.gif", "0"} << "Hi"
                                 << QStringList{"Ok"};
    QTest::newRow("delay -5: fourth") << QList<QByteArray>{"Hi", "Dialog_Error.gif", "-5", "Sure"}
                                      << "Hi" << QStringList{"Sure"};
    QTest::newRow("delay abc: fourth") << QList<QByteArray>{"Hi", "Dialog_Error.gif", "abc", "Go"}
                                       << "Hi" << QStringList{"Go"};
    QTest::newRow("delay 10: no button")
        << QList<QByteArray>{"Hi", "Dialog_Error.gif", "10", "Unused"} << "Hi" << QStringList{};
    QTest::newRow("delay 1: no button") << QList<QByteArray>{"Hi", "Dialog_Error.gif", "1"} << "Hi"
                                        << QStringList{};
    QTest::newRow("fifth ignored") << QList<QByteArray>{"Hi", "x", "0", "B", "extra"} << "Hi"
                                   << QStringList{"B"};
    QTest::newRow("empty button text stays") << QList<QByteArray>{"Hi", "x", "0", ""} << "Hi"
                                             << QStringList{""};
    QTest::newRow("chinese") << QList<QByteArray>{"安装完成", "x", "0", "好"}
                             << QString::fromUtf8("安装完成") << QStringList{QString::fromUtf8("好")};
}

void TestFlashnote::showsTheRightBox()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    const Shown s = runPopup(args);
    QVERIFY(s.seen);
    QCOMPARE(s.text, text);
    QCOMPARE(s.buttons, buttons);
    // The default and the named resource give an icon; "x" names none.
    QCOMPARE(s.icon.isNull(), args.size() > 1 && args.at(1) == "x");
}

void TestFlashnote::iconFromFileOrResource_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QImage>("expected");   // null: no icon shown
    QTest::newRow("default resource") << "default" << resourceIcon("Dialog_Complete.gif");
    QTest::newRow("named resource") << "Dialog_Waiting.gif" << resourceIcon("Dialog_Waiting.gif");
    QTest::newRow("png file") << "file" << redSquare();
    QTest::newRow("phone path file") << "phonefile" << redSquare();
    QTest::newRow("file beats resource name") << "shadow" << redSquare();
    QTest::newRow("folder") << "folder" << QImage();
    QTest::newRow("broken image") << "broken" << QImage();
    QTest::newRow("missing file") << "missing" << QImage();
    QTest::newRow("unknown name") << "Dialog_Nothing.gif" << QImage();
}

void TestFlashnote::iconFromFileOrResource()
{
    QFETCH(QString, kind);
    QFETCH(QImage, expected);
    PhoneRoot phone;
    QTemporaryDir dir;
    QByteArray icon = kind.toUtf8();
    const QString png = dir.filePath(QStringLiteral("red.png"));
    QVERIFY(redSquare().save(png));
    if (kind == QLatin1String("file")) {
        icon = png.toUtf8();
    } else if (kind == QLatin1String("phonefile")) {
        QVERIFY(QDir().mkpath(phone.host(QStringLiteral("/usr/data_resource/pics"))));
        QVERIFY(QFile::copy(png, phone.host(QStringLiteral("/usr/data_resource/pics/red.png"))));
        icon = "/usr/data_resource/pics/red.png";
    } else if (kind == QLatin1String("shadow")) {
        // A file named like a resource, in the working folder, is a file.
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QFile::copy(png, dir.filePath(QStringLiteral("Dialog_Error.gif"))));
        const Shown s = runPopup({"Hi", "Dialog_Error.gif", "0"});
        QDir::setCurrent(cwd);
        QCOMPARE(s.icon.convertToFormat(QImage::Format_ARGB32), expected);
        return;
    } else if (kind == QLatin1String("folder")) {
        icon = dir.path().toUtf8();
    } else if (kind == QLatin1String("broken")) {
        QFile f(dir.filePath(QStringLiteral("broken.gif")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("GIF89a\x10\x00\x10\x00 this is no picture");
        f.close();
        icon = f.fileName().toUtf8();
    } else if (kind == QLatin1String("missing")) {
        icon = dir.filePath(QStringLiteral("none.gif")).toUtf8();
    }
    const Shown s = kind == QLatin1String("default") ? runPopup({"Hi"})
                                                     : runPopup({"Hi", icon, "0"});
    QVERIFY(s.seen);
    QCOMPARE(s.text, QStringLiteral("Hi"));
    if (expected.isNull())
        QVERIFY(s.icon.isNull());
    else
        QCOMPARE(s.icon.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
}

void TestFlashnote::hostileText_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown");
    const QByteArray longText(100000, 'm');
    QTest::newRow("100,000 characters") << longText << QString::fromLatin1(longText);
    QTest::newRow("invalid UTF-8") << QByteArray("ok\xff\xfe end")
                                   << QString(QStringLiteral("ok")) + QChar(0xfffd) + QChar(0xfffd)
                                          + QStringLiteral(" end");
    QTest::newRow("markup stays text") << QByteArray("<b>x</b> &amp;")
                                       << QStringLiteral("<b>x</b> &amp;");
}

void TestFlashnote::hostileText()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    const Shown s = runPopup({message, "Dialog_Exclamatory_Mark.gif", "0"});
    QVERIFY(s.seen);
    QCOMPARE(s.text, shown);
    QCOMPARE(s.buttons, QStringList{"Ok"});
}

void TestFlashnote::timedRunsEndByThemselves_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("usage");
    QTest::newRow("no argument") << QStringList{} << 3 << true;
    QTest::newRow("one argument") << QStringList{"Hello"} << 3 << false;
    QTest::newRow("delay 1") << QStringList{"Hi", "Dialog_Error.gif", "1"} << 1 << false;
    QTest::newRow("delay 10, fourth ignored")
        << QStringList{"Hi", "Dialog_Error.gif", "10", "Unused"} << 10 << false;
}

void TestFlashnote::timedRunsEndByThemselves()
{
    QFETCH(QStringList, args);
    QFETCH(int, seconds);
    QFETCH(bool, usage);
    const Run r = runProgram(args, (seconds + 60) * 1000);
    QVERIFY2(r.finished, "flashnote did not end by itself");
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.ms >= seconds * 1000, qPrintable(QString::number(r.ms)));
    QCOMPARE(r.out, usage ? UsageText : QByteArray());
}

void TestFlashnote::buttonRunsEndWhenPressed_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("key");
    QTest::newRow("delay 0") << QStringList{"Hi", "Dialog_Error.gif", "0"} << "1";
    QTest::newRow("delay -5") << QStringList{"Hi", "Dialog_Error.gif", "-5", "Sure"} << "Return";
    QTest::newRow("delay abc") << QStringList{"Hi", "nothing.gif", "abc", "Go"} << "Escape";
    QTest::newRow("fifth argument") << QStringList{"Hi", "x", "0", "B", "extra"} << "F1";
}

void TestFlashnote::buttonRunsEndWhenPressed()
{
    QFETCH(QStringList, args);
    QFETCH(QString, key);
    XSession x;
    if (!x.start())
        QSKIP(qPrintable(x.error()));
    const Run r = runProgram(args, 20000, &x, {key});
    QVERIFY2(r.finished, "flashnote did not end after its button was pressed");
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
}

void TestFlashnote::noDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("no DISPLAY") << QString();
    QTest::newRow("no X server at DISPLAY") << QStringLiteral(":4242");
}

// flashnote promises status 0, also where no screen can be opened; standard
// error says why the box was not shown.
void TestFlashnote::noDisplay()
{
    QFETCH(QString, display);
    const NoDisplayRun r = runWithoutDisplay(QStringLiteral(FLASHNOTE_BIN), {"Hello", "Dialog_Error.gif", "0"}, display);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("flashnote: no display to show on"), r.err.constData());
}

QTEST_MAIN(TestFlashnote)
#include "tst_flashnote.moc"
