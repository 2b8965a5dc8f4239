// How long the properties dialog takes to read and rewrite the Java domain of
// a large registry.txt, how long the file picker takes to list a card folder
// holding thousands of files, and how long the main window takes to open on a
// card registry of 100 to 10,000 applications or of 50 MB. Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/screens/bench_screens

#include "langcaption.h"
#include "mainwindows.h"
#include "softpropertiesdlg.h"
#include "zconfig.h"
#include "zopendlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

const QString kUid = QStringLiteral("0a1b2c3d-0000-4000-8000-00000000beef");
const QString kAppDir = QStringLiteral("/mmc/mmca1/.system/QTDownLoad/Big");

struct Phone
{
    Phone()
    {
        qputenv("EZX_ROOT", dir.path().toLocal8Bit());
        QDir().mkpath(dir.path() + kAppDir);
        QDir().mkpath(dir.path() + QStringLiteral("/mmc/mmca1/.system/java"));
        ZConfig card(QStringLiteral("/mmc/mmca1/.system/java/CardRegistry"), false);
        card.writeEntry(kUid, QStringLiteral("Name"), QStringLiteral("Big"));
        card.writeEntry(kUid, QStringLiteral("JavaId"), QStringLiteral("5"));
        card.writeEntry(kUid, QStringLiteral("Directory"), kAppDir);
    }
    QString host(const QString& phone) const { return dir.path() + phone; }
    QTemporaryDir dir;
};

// registry.txt of about `megabytes` MB with the Domain line in the middle.
void writeRegistry(const Phone& phone, int megabytes)
{
    QByteArray half;
    for (int i = 0; half.size() < megabytes * 512 * 1024; ++i)
        half += "MIDlet-Property-" + QByteArray::number(i) + ": " + QByteArray(48, 'v') + '\n';
    QFile f(phone.host(kAppDir + QStringLiteral("/registry.txt")));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(half + "Domain: Operator\n" + half);
}

void BM_JavaDomainRead(benchmark::State& state)
{
    Phone phone;
    writeRegistry(phone, int(state.range(0)));
    SoftPropertiesDlg dlg(kUid, QStringLiteral("P"), nullptr, "dlg", 1, {},
                          MyClass_Dlg::Dlg_Large);
    for (auto _ : state)
        benchmark::DoNotOptimize(dlg.getJavaDomain(kAppDir));
    state.SetBytesProcessed(state.iterations() * state.range(0) * 1024 * 1024 / 2);
}
BENCHMARK(BM_JavaDomainRead)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_JavaDomainWrite(benchmark::State& state)
{
    Phone phone;
    writeRegistry(phone, int(state.range(0)));
    SoftPropertiesDlg dlg(kUid, QStringLiteral("P"), nullptr, "dlg", 1, {},
                          MyClass_Dlg::Dlg_Large);
    int i = 0;
    for (auto _ : state) {
        dlg.pComBoxDomain->setCurrentIndex(++i % 4);
        dlg.setJavaDomain(kAppDir);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 1024 * 1024);
}
BENCHMARK(BM_JavaDomainWrite)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_PickerListing(benchmark::State& state)
{
    Phone phone;
    const QString card = phone.host(QStringLiteral("/mmc/mmca1/many"));
    QDir().mkpath(card);
    for (int i = 0; i < state.range(0); ++i) {
        QFile f(card + QStringLiteral("/file%1.%2").arg(i).arg(i % 3 ? "txt" : "pkg"));
        f.open(QIODevice::WriteOnly);
    }
    ZOpenDlg picker({QStringLiteral("*.pkg"), QStringLiteral("*.PKG")}, QStringLiteral("/"), false);
    for (auto _ : state) {
        picker.setDir(QStringLiteral("/mmc/mmca1/many"));
        benchmark::DoNotOptimize(picker.entries().size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PickerListing)->Arg(300)->Arg(6000)->Unit(benchmark::kMillisecond);

// A card registry of `count` applications, or of one 50 MB name (count 0).
QByteArray cardRegistry(int count)
{
    if (count == 0)
        return "[0a1b2c3d-0000-4000-8000-000000000001]\nName=" + QByteArray(50 << 20, 'n')
               + "\nJavaId=-1\nDirectory=/mmc/mmca1/.system/QTDownLoad/a\n";
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "[0a1b2c3d-0000-4000-8000-" + QByteArray::number(i).rightJustified(12, '0') + "]\nName=App "
               + QByteArray::number(i) + "\nJavaId=-1\nDirectory=/mmc/mmca1/.system/QTDownLoad/app"
               + QByteArray::number(i) + "\nExec=run\nIcon=icon.png\n";
    return out;
}

// From nothing to the main window shown and drawn, with its list filled.
void BM_MainWindowOpen(benchmark::State& state)
{
    Phone phone;
    QFile card(phone.host(QStringLiteral("/mmc/mmca1/.system/java/CardRegistry")));
    card.open(QIODevice::WriteOnly | QIODevice::Truncate);
    card.write(cardRegistry(int(state.range(0))));
    card.close();
    // The notice that a registry was skipped (the 50 MB one) is answered.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    answer.start(1);
    for (auto _ : state) {
        MainWindows window(QStringLiteral("appkeeper"), false, nullptr, "MainWin");
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.isVisible());
    }
}
BENCHMARK(BM_MainWindowOpen)->Arg(100)->Arg(1000)->Arg(10000)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QApplication app(appArgc, argv);
    Bool_LocalLanguage = true;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
