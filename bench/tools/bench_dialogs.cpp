// How long the platform's boxes take to open (lay out, show, close) for the
// sizes scripts may hand them: messages up to 100,000 characters, choice lists
// up to 10,000 entries. Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "resiconreader.h"
#include "zmessagebox.h"
#include "zsingleselectdlg.h"

#include <QApplication>
#include <QStringList>

#include <benchmark/benchmark.h>

static void BM_TimedBoxText(benchmark::State& state)
{
    const QString text = QString(QStringLiteral("word ")).repeated(int(state.range(0)) / 5);
    RES_ICON_Reader icons;
    const QPixmap icon = icons.getIcon(QStringLiteral("Dialog_Complete.gif"), true);
    for (auto _ : state) {
        // A delay of 0 closes the box as soon as its event loop runs.
        ZMessageBox::timerMessage(nullptr, icon, text, 0, 1);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TimedBoxText)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

static void BM_SelectDialogOpen(benchmark::State& state)
{
    QStringList entries;
    for (int i = 0; i < state.range(0); ++i)
        entries << QStringLiteral("Entry %1").arg(i + 1);
    for (auto _ : state) {
        ZSingleSelectDlg dlg(QStringLiteral("Pick"), QStringLiteral("One of these"));
        dlg.addItemsList(entries);
        dlg.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(dlg.getCheckedItemIndex());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SelectDialogOpen)->Arg(3)->Arg(300)->Arg(10000)->Unit(benchmark::kMillisecond);

static void BM_DrawIcon(benchmark::State& state)
{
    RES_ICON_Reader icons;
    const QStringList names = RES_ICON_Reader::iconNames();
    for (auto _ : state)
        for (const QString& n : names)
            benchmark::DoNotOptimize(icons.getIcon(n, false));
    state.SetItemsProcessed(state.iterations() * names.size());
}
BENCHMARK(BM_DrawIcon)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
