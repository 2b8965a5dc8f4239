// DayBadge 2.x and the pieces every service-name program shares: the weekday
// in UTC+8 at its edges, the option test, the label, the banner byte for byte
// and the detaching of the real program.
#include "daemonbase.h"
#include "daemonprocess.h"
#include "phoneroot.h"
#include "xsession.h"
#include "weekdaylabel.h"
#include "zapplication.h"
#include "testprograms.h"

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QStandardPaths>
#include <QProcess>
#include <QTest>

#include <ctime>
#include <memory>

using namespace daemontest;

namespace {

std::time_t g_now = 0;
std::time_t fakeNow() { return g_now; }

std::time_t utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

} // namespace

namespace {
struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
} // namespace

class TestDayBadge2 : public QObject
{
    Q_OBJECT
    QString program() const { return testProgram("DayBadge2"); }

private slots:
    void cleanup() { setDaemonClock(nullptr); }

    // 2026-12-05 is a Saturday.
    void weekdayInUtc8_data()
    {
        QTest::addColumn<qlonglong>("when");
        QTest::addColumn<int>("weekday");
        QTest::addColumn<QString>("text");
        QTest::newRow("Sat 00:00 UTC") << qlonglong(utc(2026, 12, 5, 0, 0)) << 6 << "星期六";
        QTest::newRow("Sat 15:59:59 UTC") << qlonglong(utc(2026, 12, 5, 15, 59, 59)) << 6 << "星期六";
        QTest::newRow("Sat 15:59 UTC") << qlonglong(utc(2026, 12, 5, 15, 59)) << 6 << "星期六";
        QTest::newRow("Sat 16:00 UTC wraps to Sun") << qlonglong(utc(2026, 12, 5, 16, 0)) << 0 << "星期日";
        QTest::newRow("Sat 23:59 UTC") << qlonglong(utc(2026, 12, 5, 23, 59)) << 0 << "星期日";
        QTest::newRow("Sun 00:00 UTC") << qlonglong(utc(2026, 12, 6, 0, 0)) << 0 << "星期日";
        QTest::newRow("Sun 16:00 UTC") << qlonglong(utc(2026, 12, 6, 16, 0)) << 1 << "星期一";
        QTest::newRow("Mon 10:00 UTC") << qlonglong(utc(2026, 12, 7, 10, 0)) << 1 << "星期一";
        QTest::newRow("Tue 15:00 UTC") << qlonglong(utc(2026, 12, 8, 15, 0)) << 2 << "星期二";
        QTest::newRow("Wed 12:00 UTC") << qlonglong(utc(2026, 12, 9, 12, 0)) << 3 << "星期三";
        QTest::newRow("Wed 16:30 UTC") << qlonglong(utc(2026, 12, 9, 16, 30)) << 4 << "星期四";
        QTest::newRow("Fri 08:00 UTC") << qlonglong(utc(2026, 12, 11, 8, 0)) << 5 << "星期五";
        QTest::newRow("epoch") << qlonglong(0) << 4 << "星期四";
    }
    void weekdayInUtc8()
    {
        QFETCH(qlonglong, when);
        QFETCH(int, weekday);
        QFETCH(QString, text);
        // The machine's own zone must play no part.
        qputenv("TZ", "America/New_York");
        tzset();
        g_now = static_cast<std::time_t>(when);
        setDaemonClock(fakeNow);
        QCOMPARE(getCurrTime(), weekday);
        QCOMPARE(QString::fromUtf8(weekdayText(weekday)), text);
        QCOMPARE(currentWeekdayLabelText(), text);
        qunsetenv("TZ");
        tzset();
    }

    void isOption_data()
    {
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<bool>("matches");
        QTest::newRow("-auth") << QByteArray("-auth") << true;
        QTest::newRow("-AUTH") << QByteArray("-AUTH") << true;
        QTest::newRow("-Auth") << QByteArray("-Auth") << true;
        QTest::newRow("-aUtH") << QByteArray("-aUtH") << true;
        QTest::newRow("prefix") << QByteArray("-aut") << false;
        QTest::newRow("longer") << QByteArray("-authx") << false;
        QTest::newRow("no dash") << QByteArray("auth") << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("not a letter fold") << QByteArray("-a\x15th") << false;
    }
    void isOption()
    {
        QFETCH(QByteArray, arg);
        QFETCH(bool, matches);
        QCOMPARE(::isOption(arg.constData(), "-auth"), matches);
        QVERIFY(!::isOption(nullptr, "-auth"));
    }

    void label()
    {
        g_now = utc(2026, 12, 5, 15, 59);
        setDaemonClock(fakeNow);
        std::unique_ptr<QLabel> label(createWeekdayLabel());
        QVERIFY(!label->parent());
        label->show();
        QCOMPARE(label->size(), QSize(240, 20));
        QCOMPARE(label->pos(), QPoint(1, 250));
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        QCOMPARE(label->text(), QStringLiteral("星期六"));
        QCOMPARE(un_utf8("\xe6\x98\x9f\xe6\x9c\x9f\xe6\x97\xa5"), QStringLiteral("星期日"));
        QVERIFY(un_utf8(nullptr).isNull());
    }

    // Each round of the loop sets the current weekday and serves the screen;
    // the label stays up round after round, across the day change.
    void labelCycleKeepsTheLabelUp()
    {
        g_now = utc(2026, 12, 5, 15, 59, 50);
        setDaemonClock(fakeNow);
        ZApplication* app = ZApplication::instance();
        QVERIFY(app);
        std::unique_ptr<QLabel> label(createWeekdayLabel());
        app->setMainWidget(label.get());
        label->show();
        QVERIFY(QTest::qWaitForWindowExposed(label.get()));
        runWeekdayLabelCycle(label.get(), 0, 50);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("星期六"));
        g_now += 25;
        runWeekdayLabelCycle(label.get(), 0, 50);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("星期日"));
        app->setMainWidget(nullptr);
    }

    // The pause between two rounds serves the screen: a label uncovered
    // meanwhile is drawn again at once, with the text it had.
    void labelIsDrawnDuringThePause()
    {
        g_now = utc(2026, 12, 5, 15, 59, 50);
        setDaemonClock(fakeNow);
        ZApplication* app = ZApplication::instance();
        std::unique_ptr<QLabel> label(createWeekdayLabel());
        app->setMainWidget(label.get());
        label->show();
        QVERIFY(QTest::qWaitForWindowExposed(label.get()));
        PaintCounter painted;
        label->installEventFilter(&painted);
        g_now += 25;  // the next round would show Sunday
        QString shownWhilePausing;
        QTimer::singleShot(0, label.get(), [&] { label->update(); });
        QTimer::singleShot(100, label.get(), [&] {
            if (painted.count > 0)
                shownWhilePausing = label->text();
        });
        runWeekdayLabelCycle(label.get(), 1, 0);
        QCOMPARE(shownWhilePausing, QStringLiteral("星期六"));
        QCOMPARE(label->text(), QStringLiteral("星期日"));
        app->setMainWidget(nullptr);
    }

    void banner_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("-auth") << QStringList{"-auth"};
        QTest::newRow("-AUTH") << QStringList{"-AUTH"};
        QTest::newRow("-Auth, more arguments") << QStringList{"-Auth", "-platform", "x"};
    }
    void banner()
    {
        QFETCH(QStringList, args);
        PhoneRoot root;
        const QString out = root.outer() + QStringLiteral("/out");
        DaemonGuard guard(program(), root.root());
        QProcess p;
        startWithFiles(p, program(), args, out, out + ".err");
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        // The detached process prints it, so it may come after the start ended.
        QTRY_COMPARE(readAll(out), QByteArray("SoftName  DayBadge\n"
                                              "  Author  VORTELIN\n"
                                              " Version  2.0.6\n"
                                              "    Date  2007-06-09\n\r"));
        QTRY_VERIFY_WITH_TIMEOUT(allEnded(program(), root.root()), scaledTimeout(15000));
    }

    // The real program on a shifted real clock, on a private X server: the
    // label's pixels at 15:59:40 UTC on a Saturday, again once midnight in
    // UTC+8 has passed, and at 00:00 UTC on the Saturday and on the Sunday.
    void labelOnShiftedClock()
    {
        if (const char* why = faketimeUnavailable())
            QSKIP(why);
        if (QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
            QSKIP("import (imagemagick) is needed");
        XSession x;
        if (!x.start())
            QSKIP(qPrintable(x.error()));
        auto labelPixels = [&x]() { return x.grab(1, 250, 240, 20); };
        auto isDrawn = [](const QImage& image) {
            if (image.isNull())
                return false;
            const QRgb first = image.pixel(0, 0);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != first)
                        return true;
            return false;
        };
        // Starts a label whose clock begins at `start` and runs ten times as
        // fast; returns the first picture of it.
        auto startLabel = [&](PhoneRoot& root, const QString& start) {
            QProcess p;
            p.setProcessEnvironment(x.environment(fakeClockEnvironment(start, 10)));
            startWithFiles(p, program(), {}, root.outer() + QStringLiteral("/out"),
                           root.outer() + QStringLiteral("/err"));
            p.waitForFinished(scaledTimeout(10000));
            QImage image;
            (void)QTest::qWaitFor([&] { return isDrawn(image = labelPixels()); }, scaledTimeout(10000));
            return image;
        };

        QImage saturday, sunday;
        {
            PhoneRoot root;
            DaemonGuard guard(program(), root.root());
            saturday = startLabel(root, QStringLiteral("2026-12-05 15:59:40"));
            QVERIFY(isDrawn(saturday));
            // Midnight in UTC+8 is 20 s away, the next refresh at most 25 s
            // after it: 4.5 s at ten times the speed.
            QTRY_VERIFY_WITH_TIMEOUT(isDrawn(sunday = labelPixels()) && sunday != saturday,
                                     scaledTimeout(15000));
        }
        {
            PhoneRoot root;
            DaemonGuard guard(program(), root.root());
            QCOMPARE(startLabel(root, QStringLiteral("2026-12-06 00:00:00")), sunday);
        }
        {
            PhoneRoot root;
            DaemonGuard guard(program(), root.root());
            QCOMPARE(startLabel(root, QStringLiteral("2026-12-05 00:00:00")), saturday);
        }
    }

    // The starting shell goes on at once; the daemon lives in a session of its
    // own, no longer a child of what started it, until it is stopped.
    void detachesFromTheStartingShell()
    {
        PhoneRoot root;
        verifyDetachesFromTheStartingShell(program(), root);
    }
};

// The program's own application object, so that the test runs on what the
// daemon runs on.
int main(int argc, char** argv)
{
    ZApplication app(argc, argv, 1);
    TestDayBadge2 test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_daybadge2.moc"
