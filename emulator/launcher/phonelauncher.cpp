#include "phonelauncher.h"

#include "amregistry.h"
#include "appstarter.h"
#include "windowkeeper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = static_cast<char>(sig);
    const ssize_t ignored = ::write(g_signalPipe[1], &c, 1);
    (void)ignored;
}

// The fields after the command name of /proc/<pid>/stat: state, ppid, ...
QList<QByteArray> statFields(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    const int close = line.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : line.mid(close + 2).split(' ');
}

// Children of this process (of any of its threads), with their state.
QList<QPair<qint64, char>> ownChildren()
{
    QList<QPair<qint64, char>> children;
    const qint64 me = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok || pid == me)
            continue;
        const QList<QByteArray> f = statFields(pid);
        if (f.size() > 1 && f.at(1).toLongLong() == me)
            children << qMakePair(pid, f.at(0).isEmpty() ? '?' : f.at(0).at(0));
    }
    return children;
}

} // namespace

int zoomForDesktop(const QSize& desktop)
{
    const int room = 100;   // a title bar and a panel
    return desktop.width() >= 2 * 240 && desktop.height() >= 2 * 320 + room ? 2 : 1;
}

void say(const QString& text)
{
    std::fprintf(stdout, "phone-emulator: %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

KeptProcess::KeptProcess(const QString& name, const QString& program, QObject* parent)
    : QObject(parent), m_name(name), m_program(program)
{
}

void KeptProcess::start()
{
    if (m_stopping)
        return;
    delete m_process;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->setInputChannelMode(QProcess::ForwardedInputChannel);
    m_process->setProcessEnvironment(m_env);
    // A group of its own: a Ctrl-C meant for the launcher does not end the
    // phone's processes behind its back; the launcher ends them itself.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::finished, this, &KeptProcess::ended);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            ended(-1, QProcess::CrashExit);
    });
    m_since.start();
    m_process->start(m_program, {});
    ++m_starts;
    if (m_process->state() != QProcess::NotRunning || m_process->waitForStarted(5000)) {
        say(QStringLiteral("started %1 (pid %2)").arg(m_name).arg(m_process->processId()));
        emit started(m_process->processId());
    }
}

void KeptProcess::ended(int code, QProcess::ExitStatus status)
{
    if (m_stopping || !m_process || (sender() != m_process && code != -1))
        return;
    const bool killed = status == QProcess::CrashExit && (code == SIGTERM || code == SIGKILL);
    const QString how = status == QProcess::CrashExit
                            ? (code == -1 ? QStringLiteral("could not start: ") + m_process->errorString()
                                          : QStringLiteral("was killed (signal %1)").arg(code))
                            : QStringLiteral("ended with %1").arg(code);
    // A program that ends by itself again and again right after its start
    // (a broken one) is given a short pause, still under a second, so that
    // it does not take the machine. One that is killed comes back at once,
    // however often that happens.
    m_quickEnds = !killed && m_since.elapsed() < 300 ? m_quickEnds + 1 : 0;
    const int pause = m_quickEnds >= 3 ? 500 : 0;
    say(QStringLiteral("%1 %2; starting it again").arg(m_name, how));
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    QTimer::singleShot(pause, this, &KeptProcess::start);
}

void KeptProcess::stop(int graceMs)
{
    m_stopping = true;
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->disconnect(this);
    m_process->terminate();
    if (!m_process->waitForFinished(graceMs)) {
        m_process->kill();
        m_process->waitForFinished(2000);
    }
}

PhoneLauncher::PhoneLauncher(const LauncherOptions& options, QObject* parent)
    : QObject(parent), m_options(options)
{
    // Orphans of the phone's processes (applications started from the menu,
    // daemons that detach) come to this process, which reaps them and can
    // end them when it stops.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    if (g_signalPipe[0] >= 0) {
        m_signals = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(m_signals, &QSocketNotifier::activated, this, [this] {
            char c = 0;
            if (::read(g_signalPipe[0], &c, 1) == 1) {
                say(QStringLiteral("stopping (signal %1)").arg(int(c)));
                stop(0);
            }
        });
    }
    m_reaper = new QTimer(this);
    m_reaper->setInterval(500);
    connect(m_reaper, &QTimer::timeout, this, &PhoneLauncher::reapOrphans);
}

PhoneLauncher::~PhoneLauncher()
{
    if (!m_stopping)
        stop(0);
}

void PhoneLauncher::installSignalHandlers()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

bool PhoneLauncher::startScreen()
{
    QString screen = m_options.screen;
    if (screen == QLatin1String("offscreen"))
        return true;
    const bool hasDisplay = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    const QString xephyr = QStandardPaths::findExecutable(QStringLiteral("Xephyr"));
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (screen == QLatin1String("auto")) {
        screen = hasDisplay && !xephyr.isEmpty() ? QStringLiteral("xephyr") : QStringLiteral("xvfb");
        if (hasDisplay && xephyr.isEmpty())
            say(QStringLiteral("Xephyr is missing (xserver-xephyr): the phone runs on a private Xvfb, "
                               "out of sight"));
    }
    QString program;
    QStringList args;
    if (screen == QLatin1String("xephyr")) {
        if (xephyr.isEmpty() || !hasDisplay) {
            say(QStringLiteral("cannot show the phone in a window: %1")
                    .arg(xephyr.isEmpty() ? QStringLiteral("Xephyr is missing (xserver-xephyr)")
                                          : QStringLiteral("no display")));
            return false;
        }
        program = xephyr;
        m_zoom = m_options.zoom > 0 ? m_options.zoom
                                    : zoomForDesktop(displaySize(QString::fromLocal8Bit(qgetenv("DISPLAY"))));
        args = {QStringLiteral("-screen"), QStringLiteral("%1x%2").arg(240 * m_zoom).arg(320 * m_zoom),
                QStringLiteral("-title"),
                QStringLiteral("EZX phone"), QStringLiteral("-no-host-grab"),
                QStringLiteral("-nolisten"), QStringLiteral("tcp")};
    } else if (screen == QLatin1String("xvfb")) {
        if (xvfb.isEmpty()) {
            say(QStringLiteral("cannot make the phone's screen: Xvfb is missing (xvfb)"));
            return false;
        }
        program = xvfb;
        m_zoom = qMax(1, m_options.zoom);
        args = {QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("%1x%2x24").arg(240 * m_zoom).arg(320 * m_zoom),
                QStringLiteral("-nolisten"), QStringLiteral("tcp")};
    } else {
        say(QStringLiteral("unknown screen '%1' (auto, xephyr, xvfb or offscreen)").arg(screen));
        return false;
    }
    // The server writes its display number on standard output.
    args << QStringLiteral("-displayfd") << QStringLiteral("1");
    m_xserver = new QProcess(this);
    m_xserver->setProcessChannelMode(QProcess::SeparateChannels);
    m_xserver->setStandardErrorFile(QProcess::nullDevice());
    m_xserver->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_xserver->start(program, args);
    QElapsedTimer clock;
    clock.start();
    while (!m_xserver->canReadLine() && clock.elapsed() < 15000)
        if (!m_xserver->waitForReadyRead(15000 - int(clock.elapsed())))
            break;
    const QByteArray number = m_xserver->readLine().trimmed();
    if (number.isEmpty()) {
        say(QStringLiteral("the X server %1 did not start").arg(program));
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
    if (m_zoom > 1)
        say(QStringLiteral("screen %1 (%2, %3x%4, zoom %5: the phone's programs see 240x320)")
                .arg(m_display, QFileInfo(program).fileName())
                .arg(240 * m_zoom)
                .arg(320 * m_zoom)
                .arg(m_zoom));
    else
        say(QStringLiteral("screen %1 (%2, 240x320)").arg(m_display, QFileInfo(program).fileName()));
    // Before any program of the phone shows a window.
    m_keeper = new WindowKeeper(this);
    QString why;
    if (!m_keeper->attach(m_display, &why)) {
        say(QStringLiteral("windows are not kept in order (%1): a new window may come up without "
                           "the keys")
                .arg(why));
        delete m_keeper;
        m_keeper = nullptr;
    }
    connect(m_xserver, &QProcess::finished, this, [this] {
        if (!m_stopping) {
            say(QStringLiteral("the screen's X server ended; stopping"));
            stop(1);
        }
    });
    return true;
}

bool PhoneLauncher::start()
{
    if (m_options.namespaced)
        say(QStringLiteral("running in a PID namespace of its own: pidof sees only the phone"));
    if (!startScreen())
        return false;
    // A runtime folder of the phone's own, as a session has one: without it
    // every program of the phone says it made one of its own in /tmp.
    m_runtime = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/ezx-phone-runtime-XXXXXX"));
    if (!m_runtime->isValid()) {
        say(QStringLiteral("cannot make the phone's runtime folder in %1: %2")
                .arg(QDir::tempPath(), m_runtime->errorString()));
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("EZX_ROOT"), m_options.root);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    // The phone's screen is 240x320 for its programs whatever the desktop
    // says; the zoom alone makes it larger.
    for (const char* hostScaling : {"WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                    "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_FONT_DPI"}) {
        env.remove(QLatin1String(hostScaling));
        qunsetenv(hostScaling);
    }
    if (m_display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (m_zoom > 1)
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(m_zoom));
    }
    // The applications of the start-at-boot list inherit this process's own.
    for (const QString& key : {QStringLiteral("EZX_ROOT"), QStringLiteral("XDG_RUNTIME_DIR"),
                               QStringLiteral("DISPLAY"), QStringLiteral("QT_QPA_PLATFORM"),
                               QStringLiteral("QT_SCALE_FACTOR")})
        if (env.contains(key))
            qputenv(key.toLocal8Bit(), env.value(key).toLocal8Bit());

    m_phone = new KeptProcess(QStringLiteral("phone"), m_options.phoneProgram, this);
    m_am = new KeptProcess(QStringLiteral("am"), m_options.amProgram, this);
    m_phone->setEnvironment(env);
    m_am->setEnvironment(env);
    m_phone->start();
    m_am->start();
    startBootApplications();
    writeInfo();
    m_reaper->start();
    return true;
}

void PhoneLauncher::startBootApplications()
{
    if (m_bootDone)
        return;
    m_bootDone = true;
    const QStringList uids = bootApplications();
    if (uids.isEmpty())
        return;
    const AmRecords records;
    for (const QString& uid : uids) {
        AmApplication app;
        QString why;
        if (!records.find(uid, &app, &why)) {
            say(QStringLiteral("start at boot: %1 skipped: %2").arg(uid, why));
            continue;
        }
        const AmStart s = startApplication(app);
        if (s.outcome == AmStart::Started)
            say(QStringLiteral("start at boot: %1 (%2, pid %3)").arg(app.name, uid).arg(s.pid));
        else
            say(QStringLiteral("start at boot: %1 (%2) not started: %3").arg(app.name, uid, s.reason));
    }
}

void PhoneLauncher::writeInfo()
{
    if (m_options.infoFile.isEmpty())
        return;
    QSaveFile f(m_options.infoFile);
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(QStringLiteral("display=%1\nnamespace=%2\n")
                .arg(m_display, m_options.namespaced ? QStringLiteral("yes") : QStringLiteral("no"))
                .toUtf8());
    f.commit();
}

QList<qint64> PhoneLauncher::ownPids() const
{
    QList<qint64> pids;
    for (const KeptProcess* k : {m_phone, m_am})
        if (k && k->pid() > 0)
            pids << k->pid();
    if (m_xserver && m_xserver->processId() > 0)
        pids << m_xserver->processId();
    return pids;
}

void PhoneLauncher::reapOrphans()
{
    // Only orphans are reaped here: the processes a QProcess runs are its own.
    const QList<qint64> own = ownPids();
    for (const auto& child : ownChildren())
        if (child.second == 'Z' && !own.contains(child.first))
            ::waitpid(static_cast<pid_t>(child.first), nullptr, WNOHANG);
}

void PhoneLauncher::endDescendants()
{
    // Everything left is a descendant: a child, or an orphan that came here.
    // Each round ends the children; their own children then come here.
    const QList<qint64> keep = m_xserver ? QList<qint64>{m_xserver->processId()} : QList<qint64>{};
    for (int round = 0; round < 20; ++round) {
        QList<qint64> living;
        for (const auto& child : ownChildren()) {
            if (keep.contains(child.first))
                continue;
            if (child.second == 'Z')
                ::waitpid(static_cast<pid_t>(child.first), nullptr, WNOHANG);
            else
                living << child.first;
        }
        if (living.isEmpty())
            return;
        for (qint64 pid : living)
            ::kill(static_cast<pid_t>(pid), round < 10 ? SIGTERM : SIGKILL);
        QThread::msleep(100);
        for (qint64 pid : living)
            ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG);
    }
}

void PhoneLauncher::stop(int status)
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_reaper->stop();
    if (m_am)
        m_am->stop(2000);
    if (m_phone)
        m_phone->stop(2000);
    endDescendants();
    if (m_xserver && m_xserver->state() != QProcess::NotRunning) {
        m_xserver->disconnect(this);
        m_xserver->terminate();
        if (!m_xserver->waitForFinished(3000))
            m_xserver->kill();
        m_xserver->waitForFinished(2000);
    }
    // Nothing of the phone runs any more that could use it.
    if (m_runtime)
        m_runtime->remove();
    say(QStringLiteral("stopped"));
    QCoreApplication::exit(status);
}
