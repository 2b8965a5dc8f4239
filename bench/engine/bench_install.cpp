// One whole install (the install steps without the dialog) against the bare
// "tar zxf" and "cp -rf" of the same package on the same phone root, for a
// large package (20 MB in 200 files, argument 1) and a small one (50 kB in
// 10 files, argument 0).
//   bench_engine [--benchmark_repetitions=N] [--benchmark_filter=OverBare]

#include "ezxpkginstall.h"
#include "phonearchive.h"
#include "phonewriter.h"
#include "shellrunner.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <chrono>

namespace {

const char kDesktop[] = "[Desktop Entry]\nName=Bench\nExec=run.sh\nIcon=icon.png\n";

struct Fixture
{
    QTemporaryDir dir;
    QString root;
    QString pkg;

    Fixture(int files, int fileSize)
    {
        root = dir.path() + QStringLiteral("/root");
        QDir().mkpath(root + QStringLiteral("/mmc/mmca1"));
        QDir().mkpath(root + QStringLiteral("/ezx_user/download/appwrite/am"));
        qputenv("EZX_ROOT", root.toLocal8Bit());

        // Half of the files compressible text, half random.
        const QString stage = dir.path() + QStringLiteral("/stage/bench");
        QDir().mkpath(stage + QStringLiteral("/data"));
        QFile desktop(stage + QStringLiteral("/bench.desktop"));
        desktop.open(QIODevice::WriteOnly);
        desktop.write(kDesktop);
        desktop.close();
        quint32 x = 2463534242u;
        for (int i = 0; i < files - 1; ++i) {
            QByteArray bytes(fileSize, Qt::Uninitialized);
            for (int j = 0; j < bytes.size(); ++j) {
                x ^= x << 13; x ^= x >> 17; x ^= x << 5;
                bytes[j] = (i % 2) ? char(x) : char('a' + x % 16);
            }
            QFile f(stage + QStringLiteral("/data/file%1").arg(i));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        pkg = dir.path() + QStringLiteral("/bench.pkg");
        runShellCommand(QStringLiteral("tar czf ") + shellQuote(pkg) + QStringLiteral(" -C ")
                        + shellQuote(dir.path() + QStringLiteral("/stage")) + QStringLiteral(" bench"));
        // The card folders exist, as on a phone that has installed before.
        EZXPkgInstall prepare{QString()};
        prepare.checkInstallTmpPath();
        prepare.checkInstallDB();
    }

    QString host(const QString& phonePath) const { return root + phonePath; }

    // Back to the state before an install: no installed copy, empty registries.
    void reset() const
    {
        runShellCommand(QStringLiteral("rm -rf ") + shellQuote(host("/mmc/mmca1/.system/QTDownLoad/bench")));
        QFile::remove(host("/mmc/mmca1/.system/java/CardRegistry"));
        QFile(host("/mmc/mmca1/.system/java/CardRegistry")).open(QIODevice::WriteOnly);
        QFile::remove(host("/ezx_user/download/appwrite/am/UserMenuTree"));
    }
};

// Argument 0: the small package; 1: the large one.
Fixture& fixture(int which)
{
    static Fixture small(10, 5 * 1024);
    static Fixture large(200, 100 * 1024);
    Fixture& f = which == 0 ? small : large;
    qputenv("EZX_ROOT", f.root.toLocal8Bit());   // each has a phone root of its own
    return f;
}

bool engineInstall(const Fixture& f)
{
    EZXPkgInstall e(f.pkg);
    const bool ok = e.runInstall({}, [] { return QUuid::createUuid().toString(QUuid::WithoutBraces); })
                    == InstallStep::Done;
    return ok && e.softDirectory == QStringLiteral("/mmc/mmca1/.system/QTDownLoad/bench");
}

QString area(const Fixture& f)
{
    return shellQuote(f.host("/mmc/mmca1/.system/QTDownLoad/installtmp"));
}

bool bareTarCp(const Fixture& f)
{
    const QString dest = shellQuote(f.host("/mmc/mmca1/.system/QTDownLoad/bench"));
    const int a = runShellCommand(QStringLiteral("tar zxf ") + shellQuote(f.pkg) + QStringLiteral(" -C ") + area(f));
    const int b = runShellCommand(QStringLiteral("cp -rf ") + area(f) + QStringLiteral("/bench ") + dest);
    return shellSucceeded(a) && shellSucceeded(b);
}

void resetBare(const Fixture& f)
{
    f.reset();
    runShellCommand(QStringLiteral("rm -rf ") + area(f) + QStringLiteral("/*"));
}

void BM_EngineInstall(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
        if (!engineInstall(f)) {
            state.SkipWithError("install failed");
            break;
        }
    }
}

void BM_BareTarCp(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        resetBare(f);
        state.ResumeTiming();
        if (!bareTarCp(f)) {
            state.SkipWithError("tar or cp failed");
            break;
        }
    }
}

// Both in turn within each iteration, so that the load of a shared machine
// falls on both alike; the counter "ratio" is engine time over bare time,
// "ratio_flushed" over the bare commands followed by one flush of the file
// system (the engine flushes its copy before it writes the record).
void BM_EngineOverBare(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    double engine = 0, bare = 0, bareFlushed = 0;
    for (auto _ : state) {
        resetBare(f);
        auto t0 = std::chrono::steady_clock::now();
        const bool b = bareTarCp(f);
        auto t1 = std::chrono::steady_clock::now();
        // The bare commands made durable as the engine makes its copy: one
        // flush of the file system.
        phoneFlushTree(QStringLiteral("/mmc/mmca1/.system/QTDownLoad/bench"));
        auto t1f = std::chrono::steady_clock::now();
        bareFlushed += std::chrono::duration<double, std::milli>(t1f - t0).count();
        f.reset();
        auto t2 = std::chrono::steady_clock::now();
        const bool e = engineInstall(f);
        auto t3 = std::chrono::steady_clock::now();
        if (!b || !e) {
            state.SkipWithError("install failed");
            break;
        }
        bare += std::chrono::duration<double, std::milli>(t1 - t0).count();
        engine += std::chrono::duration<double, std::milli>(t3 - t2).count();
    }
    state.counters["bare_ms"] = bare / double(state.iterations());
    state.counters["engine_ms"] = engine / double(state.iterations());
    state.counters["ratio"] = bare > 0 ? engine / bare : 0;
    state.counters["bare_flushed_ms"] = bareFlushed / double(state.iterations());
    state.counters["ratio_flushed"] = bareFlushed > 0 ? engine / bareFlushed : 0;
}

// Reading the package's listing alone (decompression and tar headers).
void BM_ArchiveListing(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        const PhoneArchiveListing listing = phoneArchiveListing(f.pkg);
        if (!listing.complete) {
            state.SkipWithError("listing failed");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_ArchiveListing)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareTarCp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_EngineInstall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_EngineOverBare)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_EngineOverBare)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

BENCHMARK_MAIN();
