// The launcher with the real `am` and `phone`: both start, come back after
// every kill (from outside by pid, and from inside the phone by name), the
// start-at-boot list runs once, nothing outside the phone is touched, and
// stopping the launcher ends everything it started. On a screen: the newest
// window has the keys, the zoom, the phone's own runtime folder.
#include "daemonprocess.h"
#include "amchannel.h"
#include "phoneroot.h"
#include "testprograms.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
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

// The display the launcher's info file names.
QString displayOf(const QString& info)
{
    for (const QByteArray& line : readAll(info).split('\n'))
        if (line.startsWith("display="))
            return QString::fromLatin1(line.mid(8));
    return QString();
}

QProcessEnvironment onDisplay(const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    return env;
}

// Presses keys as a user would: to whichever window has them.
bool pressKeys(const QString& display, const QStringList& keys)
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(onDisplay(display));
    xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys);
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}

QString xdotoolSays(const QString& display, const QStringList& args)
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(onDisplay(display));
    xdotool.start(QStringLiteral("xdotool"), args);
    xdotool.waitForFinished(10000);
    return QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed();
}

// The colour the screen shows at (x, y); invalid when it cannot be read.
QColor pixelOf(const QString& display, int x, int y)
{
    QProcess import;
    import.setProcessEnvironment(onDisplay(display));
    import.start(QStringLiteral("import"), {QStringLiteral("-display"), display, QStringLiteral("-window"),
                                            QStringLiteral("root"), QStringLiteral("-crop"),
                                            QStringLiteral("1x1+%1+%2").arg(x).arg(y), QStringLiteral("+repage"),
                                            QStringLiteral("png:-")});
    if (!import.waitForFinished(10000))
        return QColor();
    const QImage image = QImage::fromData(import.readAllStandardOutput());
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

bool screenToolsMissing()
{
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return true;
    return false;
}

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
    void xvfbScreen_data();
    void xvfbScreen();
    void newestWindowHasTheKeys();
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

// On a private Xvfb, as the demo runs it, at the phone's size and zoomed:
// the phone's programs see 240x320 and fill the screen; they share a runtime
// folder of their own (so none of them complains of a missing one), removed
// when the phone stops.
void TestPhoneEmulator::xvfbScreen_data()
{
    QTest::addColumn<int>("zoom");
    QTest::newRow("phone's size") << 1;
    QTest::newRow("zoom 2") << 2;
}

void TestPhoneEmulator::xvfbScreen()
{
    QFETCH(int, zoom);
    if (screenToolsMissing())
        QSKIP("Xvfb, xdotool or ImageMagick's import is missing");
    PhoneRoot root;
    writePhone(root, "once");
    const QString info = root.outer() + QStringLiteral("/info");
    QStringList args = {QStringLiteral("--screen"), QStringLiteral("xvfb"), QStringLiteral("--root"), root.root(),
                        QStringLiteral("--info-file"), info};
    if (zoom > 1)
        args << QStringLiteral("--zoom") << QString::number(zoom);
    Launcher launcher(args);
    QVERIFY(launcher.waitFor("phone: idle screen shown", 20000));
    QVERIFY(launcher.waitFor("am: ready", 20000));
    QTRY_VERIFY(QFile::exists(info));
    const QString display = displayOf(info);
    QVERIFY(display.startsWith(QLatin1Char(':')));
    QCOMPARE(xdotoolSays(display, {QStringLiteral("getdisplaygeometry")}),
             QStringLiteral("%1 %2").arg(240 * zoom).arg(320 * zoom));
    // The idle screen reaches the far corner: the title strip at the top
    // right, the wallpaper at the bottom of the middle.
    for (const QPoint& p : {QPoint(240 * zoom - 2, 2), QPoint(120 * zoom, 260 * zoom)})
        QVERIFY2(pixelOf(display, p.x(), p.y()) != QColor(Qt::black), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));

    const QList<qint64> phone = processesOf(phoneProgram(), root.root());
    QCOMPARE(phone.size(), 1);
    QString runtime;
    for (const QByteArray& v : readAll(QStringLiteral("/proc/%1/environ").arg(phone.first())).split('\0'))
        if (v.startsWith("XDG_RUNTIME_DIR="))
            runtime = QString::fromLocal8Bit(v.mid(16));
    QVERIFY(QFileInfo(runtime).isDir());
    QCOMPARE(QFileInfo(runtime).permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);

    // The idle screen's menu key (F1) brings up am's menu; F2 hides it again.
    for (const char* key : {"F1", "F2"}) {
        QVERIFY(pressKeys(display, {QLatin1String(key)}));
        QVERIFY(launcher.waitFor(QByteArray(key) == "F1" ? "am: menu shown" : "am: menu hidden", 10000));
    }
    QCOMPARE(askAm("show", 10000), QByteArray("shown"));
    launcher.process().terminate();
    QVERIFY(launcher.process().waitForFinished(15000));
    QCOMPARE(launcher.process().exitCode(), 0);
    QTRY_VERIFY(processesOnRoot(root.root()).isEmpty());
    QVERIFY(!QFileInfo::exists(runtime));
    QVERIFY2(!launcher.output().contains("XDG_RUNTIME_DIR"), launcher.output().constData());
}

// Keys as a user presses them, with nothing pointing the keyboard anywhere:
// the application started at boot has the first key and stands over the idle
// screen and the labels started beside it (one that says it takes no keys,
// one bare); closed, it leaves the keys to the idle screen, whose menu starts
// another application on top with the keys; closing that gives them back to
// the menu.
void TestPhoneEmulator::newestWindowHasTheKeys()
{
    if (screenToolsMissing())
        QSKIP("Xvfb, xdotool or ImageMagick's import is missing");
    PhoneRoot root;
    const QString dir = QStringLiteral("/ezx_user/apps/standin");
    QVERIFY(QDir().mkpath(root.host(dir)));
    QVERIFY(QFile::copy(QStringLiteral(WINDOW_STANDIN), root.host(dir + "/standin")));
    const QByteArray where = "Exec=standin\nDirectory=/ezx_user/apps/standin\n";
    root.writeFile("/ezx_user/download/appwrite/am/InstalledDB",
                   "[boot]\nName=Boot\nArgs=keys boot-keys\n" + where + "[label]\nName=Label\nArgs=label\n" + where
                       + "[bare]\nName=Bare label\nArgs=barelabel\n" + where
                       + "[menu]\nName=From the menu\nArgs=keys menu-keys\n" + where);
    root.writeFile("/ezx_user/download/appwrite/am/UserMenuTree", "[f]\nName=Apps\nItems=menu\n");
    root.writeFile("/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg", "[AutoRun]\nApps=boot;label;bare\n");
    const QString info = root.outer() + QStringLiteral("/info");
    Launcher launcher({QStringLiteral("--screen"), QStringLiteral("xvfb"), QStringLiteral("--root"), root.root(),
                       QStringLiteral("--info-file"), info});
    for (const char* line : {"windowstandin: keys shown", "windowstandin: label shown",
                             "windowstandin: barelabel shown", "phone: idle screen shown", "am: ready"})
        QVERIFY2(launcher.waitFor(line, 30000), line);
    QTRY_VERIFY(QFile::exists(info));
    const QString display = displayOf(info);
    const QColor red(Qt::red), yellow(Qt::yellow);

    QVERIFY(pressKeys(display, {QStringLiteral("a")}));
    QTRY_COMPARE(root.readFile(dir + "/boot-keys"), QByteArray("a"));
    // The labels stay beneath.
    QCOMPARE(pixelOf(display, 120, 260), red);
    QCOMPARE(pixelOf(display, 120, 210), red);
    QVERIFY(!launcher.output().contains("am: menu shown"));

    QVERIFY(pressKeys(display, {QStringLiteral("Escape")}));
    // The labels over the idle screen, which has the keys.
    QTRY_COMPARE(pixelOf(display, 120, 260), yellow);
    QCOMPARE(pixelOf(display, 120, 210), yellow);
    QVERIFY(pressKeys(display, {QStringLiteral("F1")}));
    QVERIFY(launcher.waitFor("am: menu shown"));
    QVERIFY(pressKeys(display, {QStringLiteral("Return"), QStringLiteral("Return")}));
    QVERIFY(launcher.waitFor("am: started From the menu"));
    QTRY_COMPARE(pixelOf(display, 120, 100), red);
    QVERIFY(pressKeys(display, {QStringLiteral("b")}));
    QTRY_COMPARE(root.readFile(dir + "/menu-keys"), QByteArray("b"));

    QVERIFY(pressKeys(display, {QStringLiteral("Escape")}));
    QTRY_VERIFY(pixelOf(display, 120, 100) != red);
    QVERIFY(pressKeys(display, {QStringLiteral("F2"), QStringLiteral("F2")}));
    QVERIFY(launcher.waitFor("am: menu hidden"));
}

QTEST_GUILESS_MAIN(TestPhoneEmulator)
#include "tst_phoneemulator.moc"
