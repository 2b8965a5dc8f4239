// flashnote: the arguments and their defaults, the icon's source, the box a
// user sees (its text whole inside it or scrolling, its button and icon clear
// of the text, all of it on the 240 x 320 screen), and what a script sees of
// the real program (usage text, exit status and how long it runs, for each
// way of closing the box).

#include "mainwidget.h"
#include "modalhelpers.h"
#include "phoneroot.h"
#include "resiconreader.h"
#include "testprograms.h"
#include "xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>

#include "nodisplay.h"
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtMath>
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

// What the box showed, and every fault of its layout a user would see.
struct Shown {
    bool seen = false;
    QString text;
    QStringList buttons;
    QImage icon;            // null when the box shows none
    bool scrolls = false;   // the text is longer than its area
    QStringList faults;
};

// Where a widget shows on the phone screen, whose windows have no frame: its
// window's position plus its place in the window.
QRect onScreen(const QWidget* w)
{
    return QRect(w->window()->pos() + w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// The box on the phone screen; the text wholly inside its area (or scrolling
// with a visible bar that Down moves), wrapped, never under the icon or the
// buttons; the icon and the buttons inside the box, the buttons' texts inside
// the buttons.
void checkLayout(QWidget* box, Shown* shown)
{
    auto fault = [shown](bool bad, const char* what, const QRect& r = QRect()) {
        if (bad)
            shown->faults << QString::fromLatin1(what) + QLatin1Char(' ') + QDebug::toString(r);
    };
    const QRect screen(QGuiApplication::primaryScreen()->geometry().topLeft(), QSize(240, 320));
    const QRect whole = onScreen(box);
    fault(!screen.contains(whole), "box outside the screen", whole);
    auto* text = box->findChild<QTextEdit*>(QStringLiteral("messageText"));
    const QRect area = onScreen(text->viewport());
    fault(!whole.contains(area), "text area outside the box", area);
    fault(area.width() < whole.width() / 2, "text area too narrow", area);
    const QSizeF doc = text->document()->size();
    fault(text->horizontalScrollBar()->maximum() > 0 || doc.width() > area.width(),
          "text runs off to the right", area);
    QScrollBar* bar = text->verticalScrollBar();
    shown->scrolls = bar->maximum() > 0;
    if (shown->scrolls) {
        fault(!bar->isVisible() || !whole.contains(onScreen(bar)), "text cut off (longer than its area, no scroll bar)",
              onScreen(bar));
    } else {
        fault(qCeil(doc.height()) > area.height(), "text cut off at the bottom", area);
    }
    auto* icon = box->findChild<QLabel*>(QStringLiteral("messageIcon"));
    const bool iconShown = !icon->isHidden();
    if (iconShown) {
        fault(!whole.contains(onScreen(icon)), "icon outside the box", onScreen(icon));
        fault(onScreen(icon).intersects(area), "icon over the text", onScreen(icon));
    }
    for (auto* b : box->findChildren<QPushButton*>()) {
        const QRect r = onScreen(b);
        fault(!whole.contains(r), "button outside the box", r);
        fault(r.intersects(area), "button over the text", r);
        fault(iconShown && r.intersects(onScreen(icon)), "button over the icon", r);
        fault(b->fontMetrics().horizontalAdvance(b->text()) > b->contentsRect().width(),
              "button text wider than the button", r);
    }
    if (shown->scrolls) {
        const int before = bar->value();
        QTest::keyClick(box, Qt::Key_Down);
        fault(bar->value() <= before, "Down does not scroll the text");
    }
}

QImage resourceIcon(const char* name)
{
    RES_ICON_Reader r;
    return r.getIcon(QString::fromLatin1(name), true).toImage();
}

QImage filled(int w, int h, Qt::GlobalColor colour)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(colour);
    return img;
}

QImage redSquare()
{
    return filled(20, 20, Qt::red);
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
        checkLayout(box, &shown);
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
    QString keyError;   // why the keys could not be pressed
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
    p.start(testProgram("flashnote"), args);
    if (!p.waitForStarted(10000))
        return r;
    if (x && !x->pressKeysOnWindowOf(p.processId(), keys))
        r.keyError = x->error();
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
    void showsTheRightBox_data();
    void showsTheRightBox();
    void iconFromFileOrResource_data();
    void iconFromFileOrResource();
    void programEnds_data();
    void programEnds();
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

// The box for each set of arguments: its text as typed, its button (none for
// a timed box), an icon unless none is found, and a layout without faults.
void TestFlashnote::showsTheRightBox_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");   // empty: the timed box
    QTest::addColumn<bool>("scrolls");
    const auto row = [](const char* name, const QList<QByteArray>& args, const QString& text,
                        const QStringList& buttons, bool scrolls = false) {
        QTest::newRow(name) << args << text << buttons << scrolls;
    };
    const QByteArray err = "Dialog_Error.gif";
    row("none: usage, timed", {}, "Usage: \nflashnote <message> <gificon> <delay>\n", {});
    row("one argument: timed", {"Hello"}, "Hello", {});
    row("delay 0: Ok", {"Hi", err, "0"}, "Hi", {"Ok"});
    row("delay -5: fourth", {"Hi", err, "-5", "Sure"}, "Hi", {"Sure"});
    row("delay abc: fourth", {"Hi", err, "abc", "Go"}, "Hi", {"Go"});
    row("delay 10: no button", {"Hi", err, "10", "Unused"}, "Hi", {});
    row("delay 1: no button", {"Hi", err, "1"}, "Hi", {});
    row("fifth ignored", {"Hi", "x", "0", "B", "extra"}, "Hi", {"B"});
    row("empty button text stays", {"Hi", "x", "0", ""}, "Hi", {""});
    row("chinese", {"安装完成", "x", "0", "好"}, QString::fromUtf8("安装完成"), {QString::fromUtf8("好")});
    row("invalid UTF-8", {"ok\xff\xfe end", "x", "0"},
        QStringLiteral("ok") + QChar(0xfffd) + QChar(0xfffd) + QStringLiteral(" end"), {"Ok"});
    row("markup stays text", {"<b>x</b> &amp;", "x", "0"}, "<b>x</b> &amp;", {"Ok"});
    row("long button text", {"Hi", err, "0", "Continue with the install"}, "Hi",
        {"Continue with the install"});
    QByteArray lines;
    for (int i = 1; i <= 8; ++i)
        lines += "Step " + QByteArray::number(i) + " done\n";
    row("eight lines", {lines, "Dialog_Complete.gif", "0"}, QString::fromLatin1(lines), {"Ok"});
    const QByteArray sentence = "The application was installed on the memory card. Start it from the "
                                "main menu; it shows in the folder of new applications until it is "
                                "moved. Keep the card in the phone while it runs.";
    row("a long sentence wraps", {sentence, "Dialog_Complete.gif", "0"},
        QString::fromLatin1(sentence), {"Ok"});
    const QByteArray path = "/mmc/mmca1/.system/QTDownLoad/installtmp/a_rather_long_folder_name/"
                            "another_one/file.gif";
    row("a path wraps anywhere", {path, err, "5"}, QString::fromLatin1(path), {});
    QByteArray many;
    for (int i = 1; i <= 200; ++i)
        many += "Line " + QByteArray::number(i) + "\n";
    row("200 lines scroll", {many, "Dialog_Complete.gif", "0"}, QString::fromLatin1(many), {"Ok"},
        true);
    row("long timed text scrolls", {many, "x", "5"}, QString::fromLatin1(many), {}, true);
    const QByteArray longText(100000, 'm');
    row("100,000 characters scroll", {longText, "Dialog_Exclamatory_Mark.gif", "0"},
        QString::fromLatin1(longText), {"Ok"}, true);
}

void TestFlashnote::showsTheRightBox()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(bool, scrolls);
    const Shown s = runPopup(args);
    QVERIFY(s.seen);
    QCOMPARE(s.text, text);
    QCOMPARE(s.buttons, buttons);
    // The default and the named resources give an icon; "x" names none.
    QCOMPARE(s.icon.isNull(), args.size() > 1 && args.at(1) == "x");
    QVERIFY2(s.faults.isEmpty(), qPrintable(s.faults.join(QStringLiteral("; "))));
    QCOMPARE(s.scrolls, scrolls);
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
    // A photo as icon: shown smaller, the text keeping its room (see checkLayout).
    QTest::newRow("large picture") << "large" << filled(600, 400, Qt::blue);
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
    struct BackHome {
        QString cwd = QDir::currentPath();
        ~BackHome() { QDir::setCurrent(cwd); }
    } backHome;
    if (kind == QLatin1String("file")) {
        icon = png.toUtf8();
    } else if (kind == QLatin1String("phonefile")) {
        QVERIFY(QDir().mkpath(phone.host(QStringLiteral("/usr/data_resource/pics"))));
        QVERIFY(QFile::copy(png, phone.host(QStringLiteral("/usr/data_resource/pics/red.png"))));
        icon = "/usr/data_resource/pics/red.png";
    } else if (kind == QLatin1String("shadow")) {
        // A file named like a resource, in the working folder, is a file.
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QFile::copy(png, dir.filePath(QStringLiteral("Dialog_Error.gif"))));
        icon = "Dialog_Error.gif";
    } else if (kind == QLatin1String("large")) {
        icon = dir.filePath(QStringLiteral("photo.png")).toUtf8();
        QVERIFY(expected.save(QString::fromUtf8(icon)));
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
    QVERIFY2(s.faults.isEmpty(), qPrintable(s.faults.join(QStringLiteral("; "))));
    if (expected.isNull())
        QVERIFY(s.icon.isNull());
    else if (kind == QLatin1String("large"))
        QCOMPARE(s.icon.pixel(s.icon.width() / 2, s.icon.height() / 2), expected.pixel(0, 0));
    else
        QCOMPARE(s.icon.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
}

// The real program for each way of closing its box: by itself after the
// delay (never earlier), by a key on its button, or a timed box left early.
// The status is always 0; the usage text comes only without arguments.
void TestFlashnote::programEnds_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("key");   // empty: ends by itself
    QTest::addColumn<int>("seconds");   // at least this long
    QTest::addColumn<bool>("usage");
    const auto row = [](const char* name, const QStringList& args, const QString& key,
                        int seconds = 0, bool usage = false) {
        QTest::newRow(name) << args << key << seconds << usage;
    };
    row("no argument", {}, {}, 3, true);
    row("one argument", {"Hello"}, {}, 3);
    row("delay 1", {"Hi", "Dialog_Error.gif", "1"}, {}, 1);
    row("delay 10, fourth ignored", {"Hi", "Dialog_Error.gif", "10", "Unused"}, {}, 10);
    row("delay 0, key 1", {"Hi", "Dialog_Error.gif", "0"}, "1");
    row("delay -5, Return", {"Hi", "Dialog_Error.gif", "-5", "Sure"}, "Return");
    row("delay abc, Escape", {"Hi", "nothing.gif", "abc", "Go"}, "Escape");
    row("fifth argument, F1", {"Hi", "x", "0", "B", "extra"}, "F1");
    row("delay 0, F2", {"Hi", "x", "0"}, "F2");
    row("delay 3600, left with Escape", {"Hi", "x", "3600"}, "Escape");
}

void TestFlashnote::programEnds()
{
    QFETCH(QStringList, args);
    QFETCH(QString, key);
    QFETCH(int, seconds);
    QFETCH(bool, usage);
    XSession x;
    if (!key.isEmpty() && !x.start())
        QSKIP(qPrintable(x.error()));
    const Run r = key.isEmpty() ? runProgram(args, (seconds + 60) * 1000)
                                : runProgram(args, 20000, &x, {key});
    QVERIFY2(r.keyError.isEmpty(), qPrintable(r.keyError));
    QVERIFY2(r.finished, "flashnote did not end");
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.ms >= seconds * 1000, qPrintable(QString::number(r.ms)));
    QCOMPARE(r.out, usage ? UsageText : QByteArray());
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
    const NoDisplayRun r = runWithoutDisplay(testProgram("flashnote"), {"Hello", "Dialog_Error.gif", "0"}, display);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("flashnote: no display to show on"), r.err.constData());
}

QTEST_MAIN(TestFlashnote)
#include "tst_flashnote.moc"
