#pragma once
// flashnote: shows one message box for a shell script, either for a number of
// seconds or until its single button is pressed.
//
//   flashnote <message> [<gificon>] [<delay>] [<buttonmsg>]

#include "zmainwidget.h"

#include <QByteArray>
#include <QString>

// What one run shows, read from the arguments (argv[0] is the program).
struct FlashnoteRequest {
    QString message;
    QString icon;            // a file path, or the name of a platform icon
    int delay = 3;           // seconds; below 1 the box waits for its button
    QString button;          // null unless a delay was given
};

FlashnoteRequest readFlashnoteArgs(int argc, char** argv);

// The usage text written to standard output when no argument is given.
QByteArray flashnoteUsage();

// atoi's reading of a number (leading blanks, a sign, digits, anything after
// ignored, 0 when there are no digits), held to the range of int.
int readDelay(const char* text);

class MainWidget : public ZMainWidget
{
    Q_OBJECT
public:
    MainWidget(const QString& caption, bool editMode, QWidget* parent = nullptr,
               const char* name = nullptr, Qt::WindowFlags f = {});
    ~MainWidget() override;

public slots:
    // Does the whole run: the usage text when there is no argument, then the
    // box; returns once the box has closed.
    void showpopup(int argc, char** argv);
};
