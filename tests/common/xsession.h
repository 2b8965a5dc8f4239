#pragma once
// A private X server of the phone's size for tests that run the real programs
// on a screen: a program runs on it as a script or the phone would start it,
// and real key presses and taps (XTEST, through xdotool) reach its windows.
//
//   XSession x;
//   if (!x.start()) QSKIP(qPrintable(x.error()));
//   QProcess p; x.prepare(p); p.start(...);
//   QVERIFY2(x.pressKeysOnWindowOf(p.processId(), {"Down", "Return"}), qPrintable(x.error()));
//
// The server picks its display itself (-displayfd), so tests running side by
// side never share one, and it dies with the test process even when the test
// is aborted (the kernel signals it when its parent ends).

#include "testprograms.h"
#include "testtime.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>


class XSession
{
public:
    ~XSession() { stop(); }

    bool start(const QString& size = QStringLiteral("240x320x24"))
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            m_error = QStringLiteral("Xvfb or xdotool is not installed (apt-get install xvfb xdotool)");
            return false;
        }
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-screen"), QStringLiteral("0"), size,
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               // Without a reset when the last client leaves:
                               // the program a test starts may connect just
                               // as an xdotool call disconnects.
                               QStringLiteral("-noreset")});
        endWithTheTest(m_server);
        m_server.start();
        if (!m_server.waitForStarted(scaledTimeout(10000))) {
            m_error = QStringLiteral("Xvfb did not start");
            return false;
        }
        // The display's number, on a line of its own, once the server listens.
        QByteArray out;
        QDeadlineTimer deadline(scaledTimeout(20000));
        while (!out.contains('\n') && !deadline.hasExpired()
               && m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000)));
            out += m_server.readAllStandardOutput();
        }
        bool ok = false;
        const int n = out.trimmed().toInt(&ok);
        if (!ok) {
            m_error = QStringLiteral("Xvfb gave no display: ")
                      + QString::fromLocal8Bit(m_server.readAllStandardError().left(300));
            stop();
            return false;
        }
        m_display = QStringLiteral(":%1").arg(n);
        return true;
    }

    void stop()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished(5000);
            }
        }
    }

    QString display() const { return m_display; }
    QString error() const { return m_error; }

    // The environment of a program that runs on this server.
    QProcessEnvironment environment(QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) const
    {
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }
    // Makes `p` run on this server, ending with the test.
    void prepare(QProcess& p) const
    {
        p.setProcessEnvironment(environment());
        endWithTheTest(p);
    }

    // The visible windows of process `pid` (its _NET_WM_PID), oldest first.
    QStringList windowsOf(qint64 pid) const
    {
        return QString::fromLatin1(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--pid"), QString::number(pid)}))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Waits until process `pid` shows at least `count` windows; false (and an
    // error) when it did not within the time.
    bool waitForWindows(qint64 pid, int count, int timeoutMs = scaledTimeout(30000))
    {
        if (QTest::qWaitFor([&] { return windowsOf(pid).size() >= count; }, timeoutMs))
            return true;
        m_error = QStringLiteral("process %1 did not show %2 window(s)").arg(pid).arg(count);
        return false;
    }

    // Gives the newest visible window of process `pid` the keyboard, once it
    // has one, and presses `keys` (xdotool key names) on it in order.
    bool pressKeysOnWindowOf(qint64 pid, const QStringList& keys, int timeoutMs = scaledTimeout(30000))
    {
        if (!waitForWindows(pid, 1, timeoutMs))
            return false;
        const QString window = windowsOf(pid).value(windowsOf(pid).size() - 1);
        if (window.isEmpty() || !focus(window)) {
            m_error = QStringLiteral("the window of process %1 did not take the keyboard").arg(pid);
            return false;
        }
        return keys.isEmpty() || run(QStringList{QStringLiteral("key")} + keys);
    }

    // Any xdotool command on this server; true when it succeeded.
    bool run(const QStringList& args)
    {
        QProcess t;
        const QByteArray out = xdotool(args, &t);
        if (t.exitStatus() == QProcess::NormalExit && t.exitCode() == 0)
            return true;
        m_error = QStringLiteral("xdotool %1 failed: %2")
                      .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(t.readAllStandardError()));
        return false;
    }

    // What the screen shows in `rect` (x, y, width, height); null on failure.
    QImage grab(int x, int y, int width, int height) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("import"),
                {QStringLiteral("-display"), m_display, QStringLiteral("-window"), QStringLiteral("root"),
                 QStringLiteral("-crop"), QStringLiteral("%1x%2+%3+%4").arg(width).arg(height).arg(x).arg(y),
                 QStringLiteral("+repage"), QStringLiteral("png:-")});
        if (!p.waitForFinished(scaledTimeout(10000)))
            return QImage();
        return QImage::fromData(p.readAllStandardOutput()).convertToFormat(QImage::Format_RGB32);
    }

private:
    bool focus(const QString& window)
    {
        // --sync returns once the server has moved the keyboard there.
        return run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window})
               && QTest::qWaitFor([&] {
                      return xdotool({QStringLiteral("getwindowfocus")}).trimmed() == window.toLatin1();
                  }, scaledTimeout(10000));
    }

    QByteArray xdotool(const QStringList& args, QProcess* used = nullptr) const
    {
        QProcess own;
        QProcess& t = used ? *used : own;
        t.setProcessEnvironment(environment());
        t.start(QStringLiteral("xdotool"), args);
        if (!t.waitForFinished(scaledTimeout(10000))) {
            t.kill();
            t.waitForFinished(2000);
        }
        return t.readAllStandardOutput();
    }

    QProcess m_server;
    QString m_display;
    QString m_error;
};
