#include "weekdaylabel.h"

#include "daemonbase.h"
#include "zapplication.h"

#include <QLabel>
#include <QTextCodec>
#include <QTimer>


QTextCodec* utf8_codec = QTextCodec::codecForName("utf-8");

QString un_utf8(const char* bytes)
{
    if (!bytes)
        return QString();
    if (!utf8_codec)
        return QString::fromUtf8(bytes);
    return utf8_codec->toUnicode(bytes);
}

QString currentWeekdayLabelText()
{
    return un_utf8(weekdayText(getCurrTime()));
}

QLabel* createWeekdayLabel()
{
    auto* label = new QLabel(nullptr);
    // A label on the idle screen: it never takes the keys from the
    // application the user is in.
    label->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
    label->resize(240, 20);
    label->move(1, 250);
    label->setAlignment(Qt::AlignHCenter);
    label->setText(currentWeekdayLabelText());
    return label;
}

namespace {

// Runs the event loop for `ms` milliseconds: the label is drawn and redrawn
// (when uncovered) meanwhile.
void serveScreenFor(int ms)
{
    // exit(), not quit(): a Qt 6 quit request closes every window, and the
    // label must stay up for the life of the process.
    QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(),
                       [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace

void runWeekdayLabelCycle(QLabel* label, unsigned pauseSeconds, int loopMs)
{
    // The pause keeps the label's rhythm (a new text every 25 s) but not its
    // silence: a label that is not served stays a blank bar until the next
    // round, on its first showing and whenever something uncovered it.
    if (pauseSeconds > 0)
        serveScreenFor(int(pauseSeconds) * 1000);
    label->setText(currentWeekdayLabelText());
    serveScreenFor(loopMs);
}

int runDayBadgeLabel(int argc, char** argv)
{
    // The options are looked at by the detached process, so even "-auth" leaves
    // the starting shell at once.
    init_daemon();
    if (argc > 1 && isOption(argv[1], "-auth")) {
        printBanner("DayBadge", "2.0.6", "2007-06-09");
        return 0;
    }

    ZApplication app(argc, argv, 1);
    QLabel* label = createWeekdayLabel();
    app.setMainWidget(label);
    label->show();

    for (;;)
        runWeekdayLabelCycle(label);
}
