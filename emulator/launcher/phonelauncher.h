#pragma once
// The launcher that plays the phone's platform on a desktop.
//
// It makes the phone's screen (a 240 by 320 window of a nested X server,
// Xephyr, on a desktop with a display, zoomed where the desktop has room; a
// private Xvfb without one; or no screen at all, Qt's offscreen platform, for
// tests and benchmarks), keeps its windows in order (windowkeeper.h), starts
// the idle screen `phone` and the application manager `am` on it, starts each
// again at once whenever it ends or is killed, starts the applications of the
// start-at-boot list once, and, when stopped, ends everything it started:
// the two processes, every process they left behind (the launcher is their
// subreaper, so orphans come to it), and the screen last. It signals no
// process that is not its own descendant. The phone's programs share a
// runtime folder of their own (XDG_RUNTIME_DIR), removed when it stops.

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTemporaryDir;
class QTimer;
class WindowKeeper;

struct LauncherOptions
{
    QString root;          // the phone root (EZX_ROOT), absolute
    QString screen;        // "auto", "xephyr", "xvfb" or "offscreen"
    int zoom = 0;          // 1 to 4; 0 chooses (2 for a window where the desktop has room)
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
    int m_zoom = 1;
    QProcess* m_xserver = nullptr;
    WindowKeeper* m_keeper = nullptr;
    std::unique_ptr<QTemporaryDir> m_runtime;
    KeptProcess* m_phone = nullptr;
    KeptProcess* m_am = nullptr;
    QTimer* m_reaper = nullptr;
    QSocketNotifier* m_signals = nullptr;
    bool m_bootDone = false;
    bool m_stopping = false;
};

void say(const QString& text);

// The zoom a window of the phone gets on a desktop of `desktop` pixels: 2
// when the phone twice its size fits with room for a title bar and a panel,
// else 1.
int zoomForDesktop(const QSize& desktop);
