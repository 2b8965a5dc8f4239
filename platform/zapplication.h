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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_mainWidget;
};
