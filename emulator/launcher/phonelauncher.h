#pragma once
// The launcher that plays the phone's platform on a desktop.
//
// It makes the phone's screen (a 240 by 320 window of a nested X server,
// Xephyr, on a desktop with a display; a private Xvfb without one; or no
// screen at all, Qt's offscreen platform, for tests and benchmarks), starts
// the idle screen `phone` and the application manager `am` on it, starts each
// again at once whenever it ends or is killed, starts the applications of the
// start-at-boot list once, and, when stopped, ends everything it started:
// the two processes, every process they left behind (the launcher is their
// subreaper, so orphans come to it), and the screen last. It signals no
// process that is not its own descendant.

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>

class QSocketNotifier;
class QTimer;

struct LauncherOptions
{
    QString root;          // the phone root (EZX_ROOT), absolute
    QString screen;        // "auto", "xephyr", "xvfb" or "offscreen"
    QString amProgram;     // host paths of the two programs
    QString phoneProgram;
    QString infoFile;      // written once the phone runs: "display=...", "namespace=..."
    bool namespaced = false;
};

// One of the platform's processes, started again whenever it ends.
class KeptProcess : public QObject
{
    Q_OBJECT
public:
    KeptProcess(const QString& name, const QString& program, QObject* parent);
    void setEnvironment(const QProcessEnvironment& env) { m_env = env; }
    void start();
    // Ends the process for good (SIGTERM, then SIGKILL after `graceMs`).
    void stop(int graceMs);
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    int starts() const { return m_starts; }

signals:
    void started(qint64 pid);

private:
    void ended(int code, QProcess::ExitStatus status);

    QString m_name;
    QString m_program;
    QProcessEnvironment m_env;
    QProcess* m_process = nullptr;
    QElapsedTimer m_since;
    int m_starts = 0;
    int m_quickEnds = 0;
    bool m_stopping = false;
};

class PhoneLauncher : public QObject
{
    Q_OBJECT
public:
    explicit PhoneLauncher(const LauncherOptions& options, QObject* parent = nullptr);
    ~PhoneLauncher() override;

    // Makes the screen and starts the phone; false (with a message) when the
    // screen cannot be made.
    bool start();
    // Ends everything started, then the event loop with `status`.
    void stop(int status);

    // Turns SIGTERM, SIGINT and SIGHUP into a stop from the event loop
    // (through a pipe); called before the launcher is made.
    static void installSignalHandlers();

private:
    bool startScreen();
    void startBootApplications();
    void reapOrphans();
    void endDescendants();
    QList<qint64> ownPids() const;
    void writeInfo();

    LauncherOptions m_options;
    QString m_display;   // ":N" or empty (offscreen)
    QProcess* m_xserver = nullptr;
    KeptProcess* m_phone = nullptr;
    KeptProcess* m_am = nullptr;
    QTimer* m_reaper = nullptr;
    QSocketNotifier* m_signals = nullptr;
    bool m_bootDone = false;
    bool m_stopping = false;
};

void say(const QString& text);
