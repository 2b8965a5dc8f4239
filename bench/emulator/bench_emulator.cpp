// The phone emulator's two waits a user feels, on a phone root with N
// applications in one menu folder (N = 30 and 1,000), the real launcher,
// `am` and `phone` on Qt's offscreen platform in their own PID namespace:
//   BM_StartToIdleScreen  launcher started -> "phone: idle screen shown"
//   BM_KillAmToMenuShown  SIGTERM to `am` (what "kill $(pidof am)" sends) ->
//                         the restarted `am` has drawn its menu ("shown")
// Goals: under 500 ms and under 300 ms. EZX_BENCH_SCREEN=xvfb runs the phone
// on a private Xvfb instead (the launcher's start then includes the X server's).
#include "amchannel.h"
#include "amregistry.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

QString bin(const char* relative)
{
    return QStringLiteral(BENCH_BINARY_DIR "/") + QLatin1String(relative);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

// A phone root with `n` applications, each with its own icon.
void makePhone(const QString& root, int n)
{
    QByteArray db, items;
    for (int i = 0; i < n; ++i) {
        const QByteArray uid = QByteArray("0000aaaa-0000-4000-8000-") + QByteArray::number(100000000000LL + i);
        const QByteArray dir = "/ezx_user/apps/app" + QByteArray::number(i);
        db += "[" + uid + "]\nName=Application " + QByteArray::number(i) + "\nExec=run\nIcon=icon.png\nDirectory="
              + dir + "\nJavaId=-1\n\n";
        items += uid + ";";
        QImage icon(48, 48, QImage::Format_ARGB32);
        icon.fill(QColor::fromHsv(i % 360, 200, 200));
        QDir().mkpath(root + QString::fromLatin1(dir));
        icon.save(root + QString::fromLatin1(dir) + QStringLiteral("/icon.png"));
    }
    writeFile(root + "/ezx_user/download/appwrite/am/InstalledDB", db);
    writeFile(root + "/ezx_user/download/appwrite/am/UserMenuTree",
              "[f1]\nName=Applications\nItems=" + items + "\n\n[f2]\nName=Games\nItems=\n");
}

class Launcher
{
public:
    explicit Launcher(const QString& root)
    {
        m_p.setProcessChannelMode(QProcess::MergedChannels);
        const QByteArray screen = qgetenv("EZX_BENCH_SCREEN");
        m_p.start(bin("emulator/launcher/phone-emulator"),
                  {QStringLiteral("--root"), root, QStringLiteral("--screen"),
                   screen.isEmpty() ? QStringLiteral("offscreen") : QString::fromLatin1(screen)});
    }
    ~Launcher()
    {
        m_p.terminate();
        if (!m_p.waitForFinished(15000))
            m_p.kill();
        m_p.waitForFinished(5000);
    }
    bool waitFor(const QByteArray& text)
    {
        QElapsedTimer t;
        t.start();
        while (!m_out.contains(text) && t.elapsed() < 20000) {
            m_p.waitForReadyRead(5);
            m_out += m_p.readAll();
        }
        return m_out.contains(text);
    }

private:
    QProcess m_p;
    QByteArray m_out;
};

// The name the kernel gives a process (its program file's name), which stays
// the program's under qemu-user, where /proc/<pid>/exe names the emulator.
QByteArray commandName(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

// The host pid of the `am` running on `root`.
qint64 amOf(const QString& root)
{
    const QByteArray marker = "EZX_ROOT=" + root.toLocal8Bit();
    for (const QString& e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok || commandName(pid) != "am")
            continue;
        QFile env(QStringLiteral("/proc/%1/environ").arg(pid));
        if (env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains(marker))
            return pid;
    }
    return 0;
}

bool gone(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    const QByteArray s = f.readAll();
    const int close = s.lastIndexOf(')');
    return close > 0 && (s.mid(close + 2, 1) == "Z" || s.mid(close + 2, 1) == "X");
}

void BM_StartToIdleScreen(benchmark::State& state)
{
    QTemporaryDir dir;
    makePhone(dir.path(), int(state.range(0)));
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        Launcher launcher(dir.path());
        if (!launcher.waitFor("phone: idle screen shown")) {
            state.SkipWithError("no idle screen");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        launcher.waitFor("am: ready");
    }
}

void BM_KillAmToMenuShown(benchmark::State& state)
{
    QTemporaryDir dir;
    makePhone(dir.path(), int(state.range(0)));
    qputenv("EZX_ROOT", dir.path().toLocal8Bit());
    Launcher launcher(dir.path());
    if (!launcher.waitFor("am: ready") || askAm("show", 5000) != "shown") {
        state.SkipWithError("the phone did not start");
        return;
    }
    for (auto _ : state) {
        const qint64 am = amOf(dir.path());
        QElapsedTimer t;
        t.start();
        ::kill(static_cast<pid_t>(am), SIGTERM);
        while (!gone(am))
            QThread::usleep(200);
        QByteArray answer;
        while ((answer = askAm("show", 2000)) != "shown" && t.elapsed() < 20000)
            QThread::usleep(500);
        if (answer != "shown") {
            state.SkipWithError("am did not come back");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
}

} // namespace

// am reading its menu (what `am --list` and every start of am do) from a
// card registry of `count` applications in one folder, or of one 50 MB
// name (count 0).
void BM_AmReadsMenu(benchmark::State& state)
{
    QTemporaryDir dir;
    qputenv("EZX_ROOT", dir.path().toLocal8Bit());
    QDir().mkpath(dir.path() + "/mmc/mmca1/.system/java");
    QDir().mkpath(dir.path() + "/ezx_user/download/appwrite/am");
    const int count = int(state.range(0));
    QByteArray card, items;
    if (count == 0)
        card = "[big]\nName=" + QByteArray(50 << 20, 'n') + "\nExec=run\nDirectory=/mmc/mmca1/.system/QTDownLoad/a\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray uid = "0a1b2c3d-0000-4000-8000-" + QByteArray::number(i).rightJustified(12, '0');
        card += "[" + uid + "]\nName=App " + QByteArray::number(i)
                + "\nExec=run\nDirectory=/mmc/mmca1/.system/QTDownLoad/app" + QByteArray::number(i) + "\n";
        items += uid + ";";
    }
    QFile f(dir.path() + "/mmc/mmca1/.system/java/CardRegistry");
    f.open(QIODevice::WriteOnly);
    f.write(card);
    f.close();
    QFile tree(dir.path() + "/ezx_user/download/appwrite/am/UserMenuTree");
    tree.open(QIODevice::WriteOnly);
    tree.write("[f]\nName=Applications\nItems=" + (count == 0 ? QByteArray("big") : items) + "\n");
    tree.close();
    for (auto _ : state)
        benchmark::DoNotOptimize(loadAmMenu().applicationCount());
    qunsetenv("EZX_ROOT");
}
BENCHMARK(BM_AmReadsMenu)->Arg(100)->Arg(1000)->Arg(10000)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_StartToIdleScreen)->Arg(30)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_KillAmToMenuShown)->Arg(30)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
