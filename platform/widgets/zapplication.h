#pragma once
// ZApplication: the platform's application object, a QApplication that owns the
// event loop and ends it when its main widget closes.

#include <QApplication>
#include <QPointer>
#include <QWidget>

class ZApplication : public QApplication
{
    Q_OBJECT
public:
    // `type` 1 is the toolkit's GUI client, the only type the programs use.
    ZApplication(int& argc, char** argv, int type = 1);
    ~ZApplication() override;

    // The widget whose closing ends the event loop (Qt 2's setMainWidget).
    void setMainWidget(QWidget* widget);
    QWidget* mainWidget() const;

    static ZApplication* instance();

    // Where no screen can be opened (no DISPLAY, an X server that does not
    // answer), Qt ends a program with abort(): status 134, which a script
    // would read as an answer. A program that promises its callers a status
    // calls this before it constructs its ZApplication; the construction
    // then prints "<program>: no display to show on: <reason>" on standard
    // error and ends the program with `status` instead.
    static void exitIfNoDisplay(const char* program, int status);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_mainWidget;
};
