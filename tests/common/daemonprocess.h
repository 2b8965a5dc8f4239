#pragma once
// Helpers for tests that start the real daemon programs: where the binaries
// are, finding a detached daemon by what only it can have (its program's name
// and the test's own phone root in its environment), stopping it by its pid,
// the faketime library, and harmless stand-ins for the platform's processes.
// The daemon tests run in a PID namespace of their own (see
// tests/common/ownpidns.sh), so their "am" and "phone" are the only ones the
// daemons can see and end.

#include "phoneroot.h"
#include "testprograms.h"
#include "testtime.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace daemontest {

// The fields of /proc/<pid>/stat after the command name: state, ppid, pgrp,
// session. Empty when the process does not exist.
inline QList<QByteArray> statFields(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    return line.mid(close + 2).split(' ');
}

// True while the process exists and is not a zombie.
inline bool isAlive(qint64 pid)
{
    const QList<QByteArray> f = statFields(pid);
    return !f.isEmpty() && f.at(0) != "Z" && f.at(0) != "X";
}

inline qint64 sessionOf(qint64 pid)
{
    const QList<QByteArray> f = statFields(pid);
    return f.size() > 3 ? f.at(3).toLongLong() : -1;
}

inline qint64 parentOf(qint64 pid)
{
    const QList<QByteArray> f = statFields(pid);
    return f.size() > 1 ? f.at(1).toLongLong() : -1;
}

// The name the kernel gives a process: its program file's name, at most 15
// bytes. Under an emulator started through binfmt_misc (qemu-user) it is
// still the program's, where /proc/<pid>/exe names the emulator.
inline QByteArray commandName(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

// Every live process but this one (and `besides`) whose environment holds
// EZX_ROOT=`root`: only processes started on the test's own phone root.
inline QList<qint64> processesOnRoot(const QString& root, const QList<qint64>& besides = {})
{
    const QByteArray marker = "EZX_ROOT=" + root.toLocal8Bit();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok || pid == getpid() || besides.contains(pid))
            continue;
        QFile env(QStringLiteral("/proc/%1/environ").arg(pid));
        if (env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains(marker) && isAlive(pid))
            found << pid;
    }
    return found;
}

// Live processes running `program` with EZX_ROOT=`root`. The program is
// recognised by its name, as binfmt_misc leaves it (see commandName).
inline QList<qint64> processesOf(const QString& program, const QString& root)
{
    const QByteArray name = QFileInfo(program).fileName().toLocal8Bit().left(15);
    QList<qint64> found;
    for (qint64 pid : processesOnRoot(root))
        if (commandName(pid) == name)
            found << pid;
    return found;
}

// Live detached daemons running `program` with EZX_ROOT=`root`. Left out: the
// first child of the double fork, both before its setsid (still in the test's
// session) and after it (a session leader), and a daemon's own children not
// yet turned into the shell.
inline QList<qint64> findDaemons(const QString& program, const QString& root)
{
    const QList<qint64> matching = processesOf(program, root);
    const qint64 ownSession = sessionOf(getpid());
    QList<qint64> found;
    for (qint64 pid : matching)
        if (sessionOf(pid) != pid && sessionOf(pid) != ownSession
            && !matching.contains(parentOf(pid)))
            found << pid;
    return found;
}

// True once no process of `program` runs on `root` in any state of its
// detaching. Unlike an empty findDaemons(), this cannot flip back: nothing
// is left that could start another one.
inline bool allEnded(const QString& program, const QString& root)
{
    return processesOf(program, root).isEmpty();
}

// Ends one process by its pid and waits until it is gone.
inline bool stopPid(qint64 pid)
{
    if (pid <= 0)
        return false;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    for (int i = 0; i < 100 && isAlive(pid); ++i)
        QThread::msleep(50);
    if (isAlive(pid))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    for (int i = 0; i < 100 && isAlive(pid); ++i)
        QThread::msleep(50);
    return !isAlive(pid);
}

// Stops every daemon of this test (program + phone root), each by its pid.
inline void stopDaemons(const QString& program, const QString& root)
{
    for (qint64 pid : findDaemons(program, root))
        stopPid(pid);
}

// Stops, when it goes out of scope, every daemon that a test started with its
// phone root, even when the test failed half-way.
class DaemonGuard
{
public:
    DaemonGuard(const QString& program, const QString& root) : m_program(program), m_root(root) {}
    ~DaemonGuard()
    {
        stopDaemons(m_program, m_root);
        for (qint64 pid : processesOf(m_program, m_root))
            stopPid(pid);
    }

private:
    QString m_program;
    QString m_root;
};

// Starts a program whose descendants outlive it. Its standard output goes to
// `out` and its error output to `err`: a pipe would be closed once the started
// process ended, and the daemon's next write to it would end the daemon.
inline void startWithFiles(QProcess& p, const QString& program, const QStringList& args,
                           const QString& out, const QString& err)
{
    p.setStandardOutputFile(out);
    p.setStandardErrorFile(err);
    p.start(program, args);
}

// The preload library of Debian's faketime package built for the processor
// the tests were built for (a library of another one would be ignored by the
// loader, and the clock would not move), or empty.
inline QString faketimeLibrary()
{
    const QString arch = QStringLiteral(EZX_LIBRARY_ARCHITECTURE);
    QStringList candidates;
    if (!arch.isEmpty())
        candidates << QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(arch);
    else
        candidates << QStringLiteral("/usr/lib/faketime/libfaketime.so.1");
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile())
            return c;
    return QString();
}

// The environment for a process whose clock starts at `start` (UTC, "YYYY-MM-DD
// hh:mm:ss") and runs `speed` times as fast; sleeps are shortened to match.
// The start is handed over as seconds since the epoch, so the process's own
// time zone cannot move it.
inline QProcessEnvironment fakeClockEnvironment(const QString& start, int speed)
{
    QDateTime when = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    when.setTimeSpec(Qt::UTC);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), faketimeLibrary());
    env.insert(QStringLiteral("FAKETIME_FMT"), QStringLiteral("%s"));
    env.insert(QStringLiteral("FAKETIME"),
               QStringLiteral("@%1 x%2").arg(when.toSecsSinceEpoch()).arg(speed));
    return env;
}

// Why a test on a shifted clock cannot run here, or null when it can.
inline const char* faketimeUnavailable()
{
    if (qEnvironmentVariableIsSet("EZX_SANITIZED"))
        return "faketime's preload library does not mix with the sanitizers";
    if (faketimeLibrary().isEmpty())
        return "Debian's faketime package is not installed";
    return nullptr;
}

// True when a process of that name runs anywhere on the machine.
inline bool processNamed(const QString& name)
{
    QProcess p;
    p.start(QStringLiteral("pidof"), {name});
    p.waitForFinished(5000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A harmless process named `name` (a copy of sleep), optionally deaf to
// SIGTERM so that only "kill -9" ends it, standing for another program's.
class StandIn
{
public:
    StandIn(const QString& name, bool ignoreTerm = false)
    {
        m_program = m_dir.path() + QLatin1Char('/') + name;
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), m_program);
        QFile::setPermissions(m_program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Another program's process: it has nothing of the test's phone root,
        // so a lookup of the test's own processes never takes it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("EZX_ROOT"));
        m_process.setProcessEnvironment(env);
        if (ignoreTerm) {
            // An ignored signal stays ignored across exec.
            m_process.start(QStringLiteral("/bin/sh"),
                            {QStringLiteral("-c"), QStringLiteral("trap '' TERM; exec \"$0\" 600"),
                             m_program});
        } else {
            m_process.start(m_program, {QStringLiteral("600")});
        }
        m_process.waitForStarted(5000);
    }
    ~StandIn()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
            m_process.waitForFinished(5000);
        }
    }
    bool running()
    {
        m_process.waitForFinished(0);
        return m_process.state() != QProcess::NotRunning;
    }
    // Waits up to `ms` for the stand-in to end.
    bool endsWithin(int ms) { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms); }
    qint64 pid() const { return m_process.processId(); }

private:
    QTemporaryDir m_dir;
    QString m_program;
    QProcess m_process;
};

// Reads a whole file, or an empty array.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Starts `program` from a shell as a user would: the shell must get control
// back at once, with status 0, while the daemon lives on in a session of its
// own (not as its leader, so it can get no terminal), neither the shell nor
// its child. The daemon is stopped by its pid before returning.
inline void verifyDetachesFromTheStartingShell(const QString& program, const PhoneRoot& root)
{
    const QString out = root.outer() + QStringLiteral("/out");
    DaemonGuard guard(program, root.root());
    QProcess shell;
    shell.setStandardOutputFile(out);
    shell.setStandardErrorFile(out + ".err");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\"; echo \"back $?\""), program});
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(readAll(out), QByteArray("back 0\n"));

    QList<qint64> daemons;
    QTRY_VERIFY((daemons = findDaemons(program, root.root())).size() == 1);
    const qint64 pid = daemons.first();
    const qint64 session = sessionOf(pid);
    QVERIFY(session > 0);
    QVERIFY(session != sessionOf(getpid()));
    QVERIFY(session != pid);
    QVERIFY(pid != shell.processId());
    QVERIFY(parentOf(pid) != shell.processId());
    QTest::qWait(1000);
    const bool stillAlive = isAlive(pid);
    QVERIFY(stopPid(pid));
    QVERIFY(stillAlive);
}

} // namespace daemontest
