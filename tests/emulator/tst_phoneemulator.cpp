// The launcher with the real `am` and `phone`: both start, come back after
// every kill (from outside by pid, and from inside the phone by name), the
// start-at-boot list runs once, nothing outside the phone is touched, and
// stopping the launcher ends everything it started.
#include "daemonprocess.h"
#include "amchannel.h"
#include "phoneroot.h"
#include "testprograms.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace daemontest;

namespace {

QString launcherProgram() { return testProgram("phone-emulator"); }
QString amProgram() { return testProgram("am"); }
QString phoneProgram() { return testProgram("phone"); }

qint64 onlyOne(const QString& program, const QString& root, qint64 besides = 0)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        const QList<qint64> p = processesOf(program, root);
        if (p.size() == 1 && p.first() != besides)
            return p.first();
        QTest::qWait(20);
    }
    return 0;
}

bool nsenterWorks()
{
    return !QStandardPaths::findExecutable(QStringLiteral("nsenter")).isEmpty();
}

// The launcher on a phone root, its output collected; stopped at the end.
class Launcher
{
public:
    explicit Launcher(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(launcherProgram(), args);
    }
    ~Launcher()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(15000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool waitFor(const QByteArray& text, int ms = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!output().contains(text)) {
            if (clock.elapsed() > ms || m_process.state() == QProcess::NotRunning)
                return output().contains(text);
            m_process.waitForReadyRead(100);
        }
        return true;
    }
    QByteArray output()
    {
        m_out += m_process.readAll();
        return m_out;
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_out;
};

void writePhone(const PhoneRoot& root, const QByteArray& bootExec)
{
    root.writeFile("/ezx_user/download/appwrite/am/InstalledDB",
                   "[boot]\nName=Boot\nExec=" + bootExec + "\nDirectory=/ezx_user/apps/boot\n");
    root.writeFile("/ezx_user/download/appwrite/am/UserMenuTree", "[f]\nName=Apps\nItems=boot\n");
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg", "[AutoRun]\nApps=boot;nobody\n");
    // Counts its starts, then never ends (with a child of its own), or ends at once.
    root.writeFile("/ezx_user/apps/boot/forever", "#!/bin/sh\necho boot >> starts\nsleep 600 &\nexec sleep 600\n");
    root.writeFile("/ezx_user/apps/boot/once", "#!/bin/sh\necho boot >> starts\n");
    for (const char* s : {"/ezx_user/apps/boot/forever", "/ezx_user/apps/boot/once"})
        QFile::setPermissions(root.host(s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestPhoneEmulator : public QObject
{
    Q_OBJECT
private slots:
    void startsRestartsAndStops_data();
    void startsRestartsAndStops();
    void killsFromInsideThePhone();
    void badArguments_data();
    void badArguments();
    void xvfbScreen();
};

// Rounds of kills of both processes, alternating SIGTERM and SIGKILL;
// an application started at boot that never ends, or ends at once.
void TestPhoneEmulator::startsRestartsAndStops_data()
{
    QTest::addColumn<QByteArray>("bootExec");
    QTest::addColumn<bool>("namespaced");
    QTest::addColumn<int>("rounds");
    QTest::newRow("boot app never ends, own namespace") << QByteArray("forever") << true << 50;
    QTest::newRow("boot app ends at once, no namespace") << QByteArray("once") << false << 5;
}

void TestPhoneEmulator::startsRestartsAndStops()
{
    QFETCH(QByteArray, bootExec);
    QFETCH(bool, namespaced);
    QFETCH(int, rounds);
    PhoneRoot root;
    writePhone(root, bootExec);
    StandIn otherAm(QStringLiteral("am"));
    StandIn otherPhone(QStringLiteral("phone"));
    QStringList args = {QStringLiteral("--screen"), QStringLiteral("offscreen"), QStringLiteral("--root"), root.root()};
    if (!namespaced)
        args << QStringLiteral("--no-namespace");
    Launcher launcher(args);
    QVERIFY(launcher.waitFor("phone: idle screen shown"));
    QVERIFY(launcher.waitFor("am: ready, 1 folders, 1 applications"));
    QVERIFY(launcher.output().contains("start at boot: Boot (boot"));
    QVERIFY(launcher.output().contains("start at boot: nobody skipped"));
    if (namespaced && !launcher.output().contains("PID namespace of its own"))
        qWarning("no PID namespace on this machine: %s", launcher.output().constData());

    qint64 am = onlyOne(amProgram(), root.root());
    qint64 phone = onlyOne(phoneProgram(), root.root());
    QVERIFY(am && phone);
    for (int round = 0; round < rounds; ++round) {
        const int sig = round % 2 ? SIGKILL : SIGTERM;
        ::kill(static_cast<pid_t>(am), sig);
        ::kill(static_cast<pid_t>(phone), sig);
        const qint64 newAm = onlyOne(amProgram(), root.root(), am);
        const qint64 newPhone = onlyOne(phoneProgram(), root.root(), phone);
        QVERIFY2(newAm && newPhone, qPrintable(QStringLiteral("round %1").arg(round)));
        am = newAm;
        phone = newPhone;
    }
    // The menu answers again after the last kill.
    QTRY_COMPARE_WITH_TIMEOUT(askAm("status", 500), QByteArray("ready 1 1"), 10000);
    // The boot application ran once, however often the platform's processes came back.
    QCOMPARE(root.readFile("/ezx_user/apps/boot/starts"), QByteArray("boot\n"));
    QVERIFY(otherAm.running());
    QVERIFY(otherPhone.running());

    launcher.process().terminate();
    QVERIFY(launcher.process().waitForFinished(15000));
    QCOMPARE(launcher.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(launcher.process().exitCode(), 0);
    QTRY_VERIFY2(processesOnRoot(root.root(), {otherAm.pid(), otherPhone.pid()}).isEmpty(), "every process of the phone ends with the launcher");
    QVERIFY(otherAm.running());
    QVERIFY(otherPhone.running());
}

// The phone's own commands, run inside its namespace, reach only its processes.
void TestPhoneEmulator::killsFromInsideThePhone()
{
    if (!nsenterWorks())
        QSKIP("nsenter (util-linux) is missing");
    PhoneRoot root;
    writePhone(root, "once");
    StandIn otherAm(QStringLiteral("am"));
    StandIn otherPhone(QStringLiteral("phone"), true);
    Launcher launcher({QStringLiteral("--screen"), QStringLiteral("offscreen"), QStringLiteral("--root"), root.root()});
    QVERIFY(launcher.waitFor("am: ready"));
    if (!launcher.output().contains("PID namespace of its own"))
        QSKIP("this machine allows no PID namespace");
    // The phone's shell tools are BusyBox's: its pidof knows a process by the
    // name the kernel gives it, also under qemu-user, where the pidof of
    // procps sees only the emulator's command line.
    QTemporaryDir phoneTools;
    QProcessEnvironment insideEnv = QProcessEnvironment::systemEnvironment();
    const QString busybox = QStandardPaths::findExecutable(QStringLiteral("busybox"));
    if (!busybox.isEmpty()
        && QProcess::execute(busybox, {QStringLiteral("--install"), QStringLiteral("-s"), phoneTools.path()}) == 0)
        insideEnv.insert(QStringLiteral("PATH"), phoneTools.path() + QLatin1Char(':') + insideEnv.value(QStringLiteral("PATH")));
    for (const char* command : {"kill $(pidof am)", "kill -9 $(pidof phone)"}) {
        const bool isAm = QByteArray(command).contains("am");
        const QString program = isAm ? amProgram() : phoneProgram();
        const qint64 before = onlyOne(program, root.root());
        QVERIFY(before);
        QProcess inside;
        inside.setProcessEnvironment(insideEnv);
        inside.start(QStringLiteral("nsenter"), {QStringLiteral("-t"), QString::number(before), QStringLiteral("-p"),
                                                  QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                                                  QString::fromLatin1(command)});
        QVERIFY(inside.waitForFinished(10000));
        if (inside.exitCode() != 0 && inside.readAllStandardError().contains("Operation not permitted"))
            QSKIP("nsenter is not allowed here");
        QVERIFY(onlyOne(program, root.root(), before));
    }
    QVERIFY(otherAm.running());
    QVERIFY(otherPhone.running());
}

void TestPhoneEmulator::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("no root") << QStringList{QStringLiteral("--no-namespace")} << QByteArray("no phone root");
    QTest::newRow("root is a file") << QStringList{QStringLiteral("--no-namespace"), QStringLiteral("--root"), QStringLiteral("/etc/hostname")}
                                    << QByteArray("is not a folder");
    QTest::newRow("unknown screen") << QStringList{QStringLiteral("--no-namespace"), QStringLiteral("--root"), QStringLiteral("ROOT"), QStringLiteral("--screen"), QStringLiteral("tv")}
                                    << QByteArray("unknown screen 'tv'");
    QTest::newRow("unknown argument") << QStringList{QStringLiteral("--no-namespace"), QStringLiteral("--bogus")}
                                      << QByteArray("unknown argument '--bogus'");
}

void TestPhoneEmulator::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    PhoneRoot root;
    args.replaceInStrings(QStringLiteral("ROOT"), root.root());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("EZX_ROOT"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(launcherProgram(), args);
    QVERIFY(p.waitForFinished(10000));
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(p.readAll().contains(message), qPrintable(message));
    QVERIFY(processesOnRoot(root.root()).isEmpty());
}

// On a private Xvfb, as the demo runs it.
void TestPhoneEmulator::xvfbScreen()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is missing");
    PhoneRoot root;
    writePhone(root, "once");
    const QString info = root.outer() + QStringLiteral("/info");
    Launcher launcher({QStringLiteral("--screen"), QStringLiteral("xvfb"), QStringLiteral("--root"), root.root(),
                       QStringLiteral("--info-file"), info});
    QVERIFY(launcher.waitFor("phone: idle screen shown", 20000));
    QVERIFY(launcher.waitFor("am: ready", 20000));
    QTRY_VERIFY(QFile::exists(info));
    QVERIFY(readAll(info).startsWith("display=:"));
    // The idle screen's menu key (F1) brings up am's menu; F2 hides it again.
    if (!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        const QString display = QString::fromLatin1(readAll(info).split('\n').first().mid(8));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        for (const char* key : {"F1", "F2"}) {
            QProcess xdotool;
            xdotool.setProcessEnvironment(env);
            xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(key)});
            QVERIFY(xdotool.waitForFinished(10000));
            QVERIFY(launcher.waitFor(QByteArray(key) == "F1" ? "am: menu shown" : "am: menu hidden", 10000));
        }
    }
    QCOMPARE(askAm("show", 10000), QByteArray("shown"));
    launcher.process().terminate();
    QVERIFY(launcher.process().waitForFinished(15000));
    QCOMPARE(launcher.process().exitCode(), 0);
    QTRY_VERIFY(processesOnRoot(root.root()).isEmpty());
}

QTEST_GUILESS_MAIN(TestPhoneEmulator)
#include "tst_phoneemulator.moc"
