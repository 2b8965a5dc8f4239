#pragma once
// ZBaseDialog: the platform's bare phone-style dialog (a QDialog).
//
// Keys: F1 presses the leftmost soft key (a ZPushButton in a soft-key style,
// usually the accepting one), F2 the rightmost (cancelling); Return and Enter
// press the focused button or check box, open a focused selector (its list
// takes Return again to choose and close), and on a text field press the
// leftmost soft key as F1 does; Up and Down move between the fields in their
// order, past the last one back to the first (a selector changes its entry
// only through its opened list, a text field first walks its own lines);
// Escape closes the dialog as cancelling does. F1 and F2 work while a
// selector's list is open too (it closes first). The focused field is framed.

#include <QDialog>

class ZPushButton;

class ZBaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ZBaseDialog(QWidget* parent = nullptr, const char* name = nullptr, int modal = 1,
                         Qt::WindowFlags f = {});
    ~ZBaseDialog() override;

    // The dialog's soft keys, left to right.
    QList<ZPushButton*> softKeys() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
