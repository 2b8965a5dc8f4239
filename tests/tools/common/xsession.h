#pragma once
// A private X server of the phone's size for process tests of the dialog
// tools: a program runs on it as a script would start it, and real key presses
// (XTEST, through xdotool) answer its dialog.
//
//   XSession x;
//   if (!x.start()) QSKIP(qPrintable(x.error()));
//   QProcess p; x.prepare(p); p.start(...);
//   x.pressKeysOnWindowOf(p.processId(), {"Down", "Return"});

#include "testtime.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

class XSession
{
public:
    ~XSession() { stop(); }

    // Starts Xvfb on a display it picks itself (-displayfd), so that tests
    // running side by side never share one.
    bool start()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            m_error = QStringLiteral("Xvfb or xdotool is not installed (apt-get install xvfb xdotool)");
            return false;
        }
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("240x320x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp")});
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.start();
        if (!m_server.waitForStarted(5000)) {
            m_error = QStringLiteral("Xvfb did not start");
            return false;
        }
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains('\n') && clock.elapsed() < 15000
               && m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(200);
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

    // Makes `p` run on this server with the xcb platform plugin.
    void prepare(QProcess& p) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(env);
    }

    // Waits for a visible window of process `pid`, gives it the keyboard focus
    // and presses `keys` (xdotool key names) one after the other.
    bool pressKeysOnWindowOf(qint64 pid, const QStringList& keys, int timeoutMs = scaledTimeout(20000))
    {
        QString window;
        QElapsedTimer clock;
        clock.start();
        while (window.isEmpty() && clock.elapsed() < timeoutMs) {
            const QByteArray found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--pid"), QString::number(pid)});
            const QList<QByteArray> ids = found.trimmed().split('\n');
            if (!ids.isEmpty() && !ids.last().isEmpty())
                window = QString::fromLatin1(ids.last());
            else
                QThread::msleep(100);
        }
        if (window.isEmpty()) {
            m_error = QStringLiteral("no window of process %1 appeared").arg(pid);
            return false;
        }
        // Let the toolkit map and lay out the window before the keys arrive.
        QThread::msleep(300);
        xdotool({QStringLiteral("windowfocus"), window});
        for (const QString& k : keys) {
            xdotool({QStringLiteral("key"), k});
            QThread::msleep(100);
        }
        return true;
    }

private:
    QByteArray xdotool(const QStringList& args)
    {
        QProcess t;
        prepare(t);
        t.start(QStringLiteral("xdotool"), args);
        if (!t.waitForFinished(10000)) {
            t.kill();
            t.waitForFinished(2000);
        }
        return t.readAllStandardOutput();
    }

    QProcess m_server;
    QString m_display;
    QString m_error;
};
