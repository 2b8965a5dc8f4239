#include "mainwidget.h"

#include "phonepath.h"
#include "resiconreader.h"
#include "zmessagebox.h"

#include <QFile>
#include <QFileInfo>
#include <QPixmap>

#include <climits>
#include <cstdio>

namespace {

const char* const DefaultMessage = "Usage: \nflashnote <message> <gificon> <delay>\n";
const char* const DefaultIcon = "Dialog_Complete.gif";
const char* const DefaultButton = "Ok";

QString fromArg(const char* s)
{
    return QString::fromUtf8(s);
}

// The icon: a readable file when the argument names one (even one that holds
// no picture the toolkit can read), else the platform's icon of that name.
QPixmap loadIcon(const QString& icon)
{
    const QString host = phoneHostPath(icon);
    // Only a regular file counts: opening a folder fails anyway, and a pipe or
    // device could block the program or never end.
    if (QFileInfo(host).isFile()) {
        QFile f(host);
        if (f.open(QIODevice::ReadOnly)) {
            f.close();
            return QPixmap(host);
        }
    }
    RES_ICON_Reader reader;
    return reader.getIcon(icon, true);
}

} // namespace

int readDelay(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    qint64 value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > qint64(INT_MAX) + 1)
            value = qint64(INT_MAX) + 1;   // held here: more digits change nothing
    }
    if (negative)
        value = -value;
    return int(qBound(qint64(INT_MIN), qint64(value), qint64(INT_MAX)));
}

FlashnoteRequest readFlashnoteArgs(int argc, char** argv)
{
    FlashnoteRequest r;
    r.message = argc > 1 ? fromArg(argv[1]) : QString::fromLatin1(DefaultMessage);
    r.icon = argc > 2 ? fromArg(argv[2]) : QString::fromLatin1(DefaultIcon);
    if (argc > 3) {
        r.delay = readDelay(argv[3]);
        r.button = argc > 4 ? fromArg(argv[4]) : QString::fromLatin1(DefaultButton);
    }
    return r;
}

QByteArray flashnoteUsage()
{
    return QByteArray(
        "\n"
        "\n"
        "flashnote\n"
        "Usage: \n"
        "        flashnote <message> [<gificon>] [<delay>] [<buttonmsg>]\n"
        "\n"
        "        <message> string to display\n"
        "        <gificon> name of icon file\n"
        "        <delay> time in second before is the number of seconds before exit set by default to 3\n"
        "        <buttonmsg> message to allocate instead of Ok in case of a null delay\n"
        "\n"
        "Note: a null <delay> trigers the appear of a Ok button to press to exit\n"
        "\n");
}

MainWidget::MainWidget(const QString& caption, bool editMode, QWidget* parent,
                       const char* name, Qt::WindowFlags f)
    : ZMainWidget(caption, editMode, parent, name, f)
{
}

MainWidget::~MainWidget() = default;

void MainWidget::showpopup(int argc, char** argv)
{
    if (argc <= 1) {
        const QByteArray usage = flashnoteUsage();
        std::fwrite(usage.constData(), 1, size_t(usage.size()), stdout);
        std::fflush(stdout);
    }
    const FlashnoteRequest req = readFlashnoteArgs(argc, argv);
    const QPixmap icon = loadIcon(req.icon);
    if (req.delay >= 1)
        ZMessageBox::timerMessage(this, icon, req.message, req.delay, 1);
    else
        ZMessageBox::information(this, icon, req.message, req.button, QString(), QString(), 1);
}
