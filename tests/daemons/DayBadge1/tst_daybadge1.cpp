// DayBadge 1.x: the watch loop in-process (clock seam, recorded shell), and the
// real program detached, on a faked clock, ending harmless stand-ins.
#include "daemonbase.h"
#include "daemonprocess.h"
#include "phonepath.h"
#include "phoneroot.h"
#include "shellrunner.h"
#include "utilservicename.h"
#include "weekdayservice.h"
#include "testprograms.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <ctime>
#include <sys/inotify.h>
#include <unistd.h>

using namespace daemontest;

namespace {

std::time_t g_now = 0;
std::time_t fakeNow() { return g_now; }

// Seconds since the epoch of a UTC time.
std::time_t utc(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return timegm(&t);
}

// Counts the daemon's cycles: each one opens the service name file to read
// it, whether or not it then writes it (the kernel reports every open of a
// file of the watched folder).
class CycleCounter
{
public:
    explicit CycleCounter(const QString& hostFile)
        : m_name(QFile::encodeName(QFileInfo(hostFile).fileName()))
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(hostFile).absolutePath()).constData(),
                              IN_OPEN);
    }
    ~CycleCounter()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // Waits until the file has been opened `count` times since the counter
    // was made (nothing else may read it meanwhile).
    bool waitFor(int count, int timeoutMs)
    {
        return m_fd >= 0 && QTest::qWaitFor([&] {
            alignas(inotify_event) char buffer[4096];
            ssize_t n;
            while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
                for (char* p = buffer; p < buffer + n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(p);
                    if (e->len > 0 && m_name == e->name)
                        ++m_opens;
                    p += sizeof(inotify_event) + e->len;
                }
            return m_opens >= count;
        }, timeoutMs);
    }

private:
    QByteArray m_name;
    int m_fd = -1;
    int m_opens = 0;
};

QByteArray serviceName()
{
    char buffer[kServiceNameBufferSize];
    UTIL_GetServiceName(buffer);
    return QByteArray(buffer);
}

const QByteArray kMonday = "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xb8\x80";
const QByteArray kTuesday = "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xba\x8c";
const QByteArray kSaturday = "\xe6\x98\x9f\xe6\x9c\x9f\xe5\x85\xad";
const QByteArray kSunday = "\xe6\x98\x9f\xe6\x9c\x9f\xe6\x97\xa5";

} // namespace

class TestDayBadge1 : public QObject
{
    Q_OBJECT
    QStringList m_commands;
    ShellRunner m_previous;

    QString program() const { return testProgram("DayBadge1"); }

    // Why a daemon that ends every process of these names cannot run here, or
    // an empty text when none such runs.
    static QString processesInTheWay(const QStringList& names)
    {
        for (const QString& n : names)
            if (processNamed(n))
                return QStringLiteral("a process named %1 runs on this machine; "
                                      "the daemon would end it").arg(n);
        return QString();
    }

    // Why the daemon cannot run here on a shifted clock; empty when it can.
    static QString shiftedClockUnavailable()
    {
        if (const char* why = faketimeUnavailable())
            return QString::fromLatin1(why);
        return processesInTheWay({QStringLiteral("am")});
    }

    // Starts the daemon with its clock at `start`, running `speed` times as
    // fast; waits for the starting process, which ends as the daemon detaches.
    void startOnClock(QProcess& p, const PhoneRoot& root, const QString& start, int speed,
                      const QString& timeZone = QString())
    {
        QProcessEnvironment env = fakeClockEnvironment(start, speed);
        if (!timeZone.isEmpty())
            env.insert(QStringLiteral("TZ"), timeZone);
        p.setProcessEnvironment(env);
        startWithFiles(p, program(), {}, root.outer() + QStringLiteral("/out"),
                       root.outer() + QStringLiteral("/err"));
        QVERIFY(p.waitForFinished(10000));
    }

private slots:
    void init()
    {
        m_commands.clear();
        m_previous = setShellRunner([this](const QString& c) {
            m_commands << c;
            return 0;
        });
        setDaemonClock(fakeNow);
    }
    void cleanup()
    {
        setShellRunner(m_previous);
        setDaemonClock(nullptr);
    }

    // Started at 10:00 UTC on a Monday: the name becomes Monday and the
    // application manager is ended once; nothing more until 16:00 UTC.
    void watcherSetsOnceAndOnDayChange_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("command");
        QTest::newRow("am") << 0 << QString::fromLatin1(kRestartAmCommand);
        QTest::newRow("phone (-e2)") << 1 << QString::fromLatin1(kRestartPhoneCommand);
    }
    void watcherSetsOnceAndOnDayChange()
    {
        QFETCH(int, mode);
        QFETCH(QString, command);
        PhoneRoot root;
        g_now = utc(2026, 12, 7, 10, 0);
        WeekdayServiceWatcher watcher(mode);
        watcher.start();
        QCOMPARE(serviceName(), kMonday);
        QCOMPARE(m_commands, QStringList{command});
        for (int i = 0; i < 10; ++i) {
            g_now += 20 * 60;
            watcher.cycle();
        }
        QCOMPARE(g_now, utc(2026, 12, 7, 13, 20));
        QCOMPARE(m_commands.size(), 1);

        g_now = utc(2026, 12, 7, 15, 59);
        watcher.cycle();
        QCOMPARE(m_commands.size(), 1);
        g_now = utc(2026, 12, 7, 16, 0);
        watcher.cycle();
        QCOMPARE(serviceName(), kTuesday);
        QCOMPARE(m_commands, (QStringList{command, command}));
        watcher.cycle();
        QCOMPARE(m_commands.size(), 2);
    }

    // Another program puts its own name in place: the next cycle restores the
    // weekday, once; a name longer than the buffer is compared as read.
    void watcherRestoresForeignName_data()
    {
        QTest::addColumn<QByteArray>("foreign");
        QTest::newRow("operator") << QByteArray("China Mobile");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("200 bytes") << QByteArray(200, 'x');
        QTest::newRow("weekday prefix") << kMonday + "x";
    }
    void watcherRestoresForeignName()
    {
        QFETCH(QByteArray, foreign);
        PhoneRoot root;
        g_now = utc(2026, 12, 7, 10, 0);
        WeekdayServiceWatcher watcher(0);
        watcher.start();
        watcher.cycle();
        QCOMPARE(m_commands.size(), 1);
        QVERIFY(UTIL_SetServiceName(foreign.constData()));
        watcher.cycle();
        QCOMPARE(serviceName(), kMonday);
        QCOMPARE(m_commands.size(), 2);
        watcher.cycle();
        QCOMPARE(m_commands.size(), 2);
    }

    // A store that cannot be written must not make every cycle end the
    // application manager again: what is read back is what counts.
    void watcherWithUnwritableStoreDoesNotRepeat()
    {
        PhoneRoot root;
        QVERIFY(UTIL_SetServiceName("Operator"));
        const QString folder = root.host(QStringLiteral("/ezx_user/download/appwrite/setup"));
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
            QSKIP("chattr +i is refused here");
        g_now = utc(2026, 12, 7, 10, 0);
        WeekdayServiceWatcher watcher(0);
        watcher.start();
        for (int i = 0; i < 5; ++i)
            watcher.cycle();
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        QCOMPARE(serviceName(), QByteArray("Operator"));
        QCOMPARE(m_commands.size(), 1);
    }

    // ---- the real program ----

    void banner_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("-auth") << "-auth";
        QTest::newRow("-AUTH") << "-AUTH";
        QTest::newRow("-Auth") << "-Auth";
    }
    void banner()
    {
        QFETCH(QString, option);
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        const QString out = root.outer() + QStringLiteral("/out");
        QProcess p;
        startWithFiles(p, program(), {option, QStringLiteral("-e2")}, out, out + ".err");
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray expected = "SoftName  DayBadge\n"
                                    "  Author  VORTELIN\n"
                                    " Version  1.0.6\n"
                                    "    Date  2007-06-05\n\r";
        QTRY_COMPARE(readAll(out), expected);
        QTRY_VERIFY(allEnded(program(), root.root()));
        QVERIFY(!phoneExists(QString::fromLatin1(kServiceNamePath)));
    }

    // Edition 1.x detaches the same way (it ends every "am" at start, so it
    // runs only where none does).
    void detachesFromTheStartingShell()
    {
        if (const QString why = processesInTheWay({QStringLiteral("am")}); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        verifyDetachesFromTheStartingShell(program(), root);
    }

    // The first day of the daemon: the name is Monday's and the stand-in am is
    // ended once; a second am lives on through later cycles.
    void startSetsWeekdayAndEndsAmOnce()
    {
        if (const QString why = shiftedClockUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        StandIn am(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        QProcess p;
        startOnClock(p, root, QStringLiteral("2026-12-07 10:00:00"), 10);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(!findDaemons(program(), root.root()).isEmpty(), scaledTimeout(30000));
        QVERIFY(am.endsWithin(10000));
        QTRY_COMPARE(root.readFile(QString::fromLatin1(kServiceNamePath)), kMonday);

        StandIn second(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        CycleCounter cycles(root.host(QString::fromLatin1(kServiceNamePath)));
        QVERIFY2(cycles.waitFor(2, scaledTimeout(20000)), "the daemon did not go through two more cycles");
        const bool lived = second.running();
        stopDaemons(program(), root.root());
        QVERIFY(findDaemons(program(), root.root()).isEmpty());
        QVERIFY2(lived, "the application manager was ended again without cause");
        QCOMPARE(readAll(root.outer() + QStringLiteral("/out")), QByteArray());
    }

    // "-e2" in any letter case: "E2" is printed and "kill -9" ends phone (the
    // stand-in ignores SIGTERM, so a plain kill would not).
    void e2EndsPhoneWithKill9_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("-e2") << "-e2";
        QTest::newRow("-E2") << "-E2";
    }
    void e2EndsPhoneWithKill9()
    {
        QFETCH(QString, option);
        if (const QString why = processesInTheWay({QStringLiteral("am"), QStringLiteral("phone")}); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        StandIn phone(QStringLiteral("phone"), true);
        QTRY_VERIFY(processNamed(QStringLiteral("phone")));
        const QString out = root.outer() + QStringLiteral("/out");
        QProcess p;
        startWithFiles(p, program(), {option}, out, out + ".err");
        QVERIFY(p.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!findDaemons(program(), root.root()).isEmpty(), scaledTimeout(30000));
        const bool ended = phone.endsWithin(10000);
        const QByteArray printed = readAll(out);
        const QByteArray name = root.readFile(QString::fromLatin1(kServiceNamePath));
        stopDaemons(program(), root.root());
        QVERIFY(ended);
        QCOMPARE(printed, QByteArray("E2\n\r"));
        QCOMPARE(name, QByteArray(weekdayText(weekdayInUtc8(std::time(nullptr)))));
    }

    // The real clock, shifted: the first name the daemon sets at the edges of
    // the day in UTC+8 (2026-12-05 is a Saturday).
    void weekdayOnShiftedClock_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Sat 15:59 UTC") << "2026-12-05 15:59:00" << kSaturday;
        QTest::newRow("Sat 16:00 UTC") << "2026-12-05 16:00:00" << kSunday;
        QTest::newRow("Sun 00:00 UTC") << "2026-12-06 00:00:00" << kSunday;
        QTest::newRow("Sat 00:00 UTC") << "2026-12-05 00:00:00" << kSaturday;
    }
    void weekdayOnShiftedClock()
    {
        QFETCH(QString, start);
        QFETCH(QByteArray, name);
        if (const QString why = shiftedClockUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        QProcess p;
        startOnClock(p, root, start, 1, QStringLiteral("Asia/Tokyo")); // the zone must not matter
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE(root.readFile(QString::fromLatin1(kServiceNamePath)), name);
    }

    // Midnight in UTC+8 (16:00 UTC) on a Saturday: the name turns from
    // Saturday to Sunday within one cycle, and am is ended again.
    void dayChangeAtSixteenUtc()
    {
        if (const QString why = shiftedClockUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        // The first cycle ends an am right after it sets the name: the am the
        // day change must end is started only once that one is gone.
        StandIn first(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        QProcess p;
        startOnClock(p, root, QStringLiteral("2026-12-05 15:59:30"), 10);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(first.endsWithin(scaledTimeout(10000)));
        QCOMPARE(root.readFile(QString::fromLatin1(kServiceNamePath)), kSaturday);
        StandIn am(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        // 30 s to midnight, noticed by the cycle at 40 s: 4 s at ten times the
        // speed.
        QTRY_COMPARE_WITH_TIMEOUT(root.readFile(QString::fromLatin1(kServiceNamePath)), kSunday,
                                  6000);
        const bool ended = am.endsWithin(10000);
        stopDaemons(program(), root.root());
        QVERIFY(ended);
    }

    // Another program (LineLabel) sets an operator name: the daemon's next
    // 20 s cycles put the weekday back.
    void foreignNameRestored()
    {
        if (const QString why = shiftedClockUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        PhoneRoot root;
        DaemonGuard guard(program(), root.root());
        StandIn first(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        QProcess p;
        startOnClock(p, root, QStringLiteral("2026-12-07 10:00:00"), 10);
        if (QTest::currentTestFailed())
            return;
        const QString file = QString::fromLatin1(kServiceNamePath);
        QVERIFY(first.endsWithin(scaledTimeout(10000)));
        QCOMPARE(root.readFile(file), kMonday);
        StandIn am(QStringLiteral("am"));
        QTRY_VERIFY(processNamed(QStringLiteral("am")));
        QCOMPARE(QProcess::execute(testProgram("LineLabel"),
                                   {QStringLiteral("China Mobile")}),
                 0);
        // One cycle is 2 s here; the wait allows for a busy machine (a name
        // that is never put back fails it all the same).
        QTRY_COMPARE_WITH_TIMEOUT(root.readFile(file), kMonday, 6000);
        const bool ended = am.endsWithin(10000);
        stopDaemons(program(), root.root());
        QVERIFY(ended);
    }
};

QTEST_GUILESS_MAIN(TestDayBadge1)
#include "tst_daybadge1.moc"
