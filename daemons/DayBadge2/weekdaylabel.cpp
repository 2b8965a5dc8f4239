#include "weekdaylabel.h"

#include "daemonbase.h"
#include "zapplication.h"

#include <QLabel>
#include <QTextCodec>
#include <QTimer>

#include <unistd.h>

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
    label->resize(240, 20);
    label->move(1, 250);
    label->setAlignment(Qt::AlignHCenter);
    label->setText(currentWeekdayLabelText());
    return label;
}

void runWeekdayLabelCycle(QLabel* label, unsigned pauseSeconds, int loopMs)
{
    // The screen is not served during this pause: the label is repainted when
    // the event loop runs again.
    sleep(pauseSeconds);
    // exit(), not quit(): a Qt 6 quit request closes every window, and the
    // label must stay up for the life of the process.
    QTimer::singleShot(loopMs, Qt::PreciseTimer, QCoreApplication::instance(),
                       [] { QCoreApplication::exit(0); });
    label->setText(currentWeekdayLabelText());
    QCoreApplication::exec();
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
