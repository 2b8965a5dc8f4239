// Opening a registry of 1,000 application records of 25 keys, adding one new
// 25-key record and closing it (so that it is saved), done by ZConfig and by
// QSettings in INI format on the same file in the same run.
//
//   build/bench/zconfig/bench_zconfig
//
// Each iteration starts from the same 1,000-record file, so both do the same work.
#include "zconfig.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

namespace {

const char* const kKeys[25] = {"Name", "Exec", "Icon", "BigIcon", "Directory", "JavaId",
                               "UserID", "GroupID", "Args", "AppID", "Type", "Attribute",
                               "Vendor", "Version", "Comment", "Size", "Location", "Mime",
                               "Lock", "Visible", "Rank", "Flags", "Domain", "Install", "Extra"};

QString valueFor(int record, int key)
{
    return QStringLiteral("/mmc/mmca1/.system/QTDownLoad/app%1/value%2").arg(record).arg(key);
}

QString uidFor(int record)
{
    return QStringLiteral("%1-1111-2222-3333-444455556666").arg(record, 8, 10, QLatin1Char('0'));
}

// The registry as ZConfig writes it; QSettings reads this form too (no
// character in it needs quoting in either).
QByteArray registry()
{
    QByteArray out;
    for (int r = 0; r < 1000; ++r) {
        out += '[' + uidFor(r).toUtf8() + "]\n";
        for (int k = 0; k < 25; ++k)
            out += QByteArray(kKeys[k]) + '=' + valueFor(r, k).toUtf8() + '\n';
        out += '\n';
    }
    return out;
}

struct Fixture
{
    QTemporaryDir dir;
    QString path;
    QByteArray original = registry();
    Fixture() : path(dir.path() + QStringLiteral("/CardRegistry")) {}
    void reset() const
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(original);
    }
};

const QString kNewUid = QStringLiteral("ffffffff-1111-2222-3333-444455556666");

void BM_ZConfig_AddRecord(benchmark::State& state)
{
    Fixture fx;
    for (auto _ : state) {
        state.PauseTiming();
        fx.reset();
        state.ResumeTiming();
        {
            ZConfig cfg(fx.path);
            for (int k = 0; k < 25; ++k)
                if (!cfg.writeEntry(kNewUid, QLatin1String(kKeys[k]), valueFor(1000, k)))
                    state.SkipWithError("write failed");
        }
    }
    ZConfig check(fx.path);
    if (check.readEntry(kNewUid, QStringLiteral("Extra")) != valueFor(1000, 24))
        state.SkipWithError("record not saved");
}

void BM_QSettings_AddRecord(benchmark::State& state)
{
    Fixture fx;
    for (auto _ : state) {
        state.PauseTiming();
        fx.reset();
        state.ResumeTiming();
        {
            QSettings s(fx.path, QSettings::IniFormat);
            s.beginGroup(kNewUid);
            for (int k = 0; k < 25; ++k)
                s.setValue(QLatin1String(kKeys[k]), valueFor(1000, k));
            s.endGroup();
        }
    }
    ZConfig check(fx.path);
    if (check.readEntry(kNewUid, QStringLiteral("Extra")) != valueFor(1000, 24))
        state.SkipWithError("record not saved");
}

// Reading alone: open and look up one key of the last record. (QSettings keeps
// parsed files in a process-wide cache, so it has no counterpart here.)
void BM_ZConfig_Read(benchmark::State& state)
{
    Fixture fx;
    fx.reset();
    for (auto _ : state) {
        ZConfig cfg(fx.path);
        benchmark::DoNotOptimize(cfg.readEntry(uidFor(999), QStringLiteral("Name")));
    }
}

} // namespace

BENCHMARK(BM_ZConfig_AddRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QSettings_AddRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZConfig_Read)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
