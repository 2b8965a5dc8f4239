#pragma once
// ZMessageBox: the platform's modal message boxes in phone style.
//
// Keys: 1, 2 and 3 press the buttons in order, Escape the last one, Return the
// focused one; Left and Right move between the buttons, and so do Up and Down
// once a long text has been scrolled to its end that way.

#include <QPixmap>
#include <QString>

class QWidget;

class ZMessageBox
{
public:
    // Shows `text` with `icon` and up to three buttons (a null text means no
    // such button) and returns the index of the button pressed, counted from 0
    // in the order given. `style` is the platform's and not used here.
    static int information(QWidget* parent, const QPixmap& icon, const QString& text,
                           const QString& button0, const QString& button1 = QString(),
                           const QString& button2 = QString(), int style = 2);

    // Shows `text` with `icon` without buttons and returns once the box has
    // closed by itself after `seconds` seconds.
    static int timerMessage(QWidget* parent, const QPixmap& icon, const QString& text,
                            int seconds, int style = 1);
};
