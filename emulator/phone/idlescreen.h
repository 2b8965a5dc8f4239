#pragma once
// The phone's idle screen: the service name in the title strip at the top
// (read once, when the process starts), the time and the date over the
// wallpaper, and two soft keys: the left one (F1, or the centre key Return)
// brings up the application manager's menu, the right one (F2) shows what
// the keys do.
//
// The wallpaper is the picture named by "Wallpaper" of group
// "SYS_SYSTEM_SET" in the phone's ezx_system.cfg (a phone path), or the
// phone's own gradient when there is none or it cannot be read.
//
// The window keeps below every other window, so that the menu, the
// applications and label windows such as DayBadge's stand on top of it, and
// it never takes the keys by itself: shown again (the phone started anew)
// while an application is up, it leaves the keys with the application.

#include "zmainwidget.h"

#include <QDateTime>
#include <QImage>

class QTimer;

class IdleView : public QWidget
{
    Q_OBJECT
public:
    explicit IdleView(QWidget* parent);
    void setWallpaper(const QImage& picture) { m_wallpaper = picture; update(); }
    // The clock shown; a null time means now (tests fix it).
    void setFixedTime(const QDateTime& when) { m_fixed = when; update(); }
    QString timeText() const;
    QString dateText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_wallpaper;
    QDateTime m_fixed;
};

class IdleScreen : public ZMainWidget
{
    Q_OBJECT
public:
    explicit IdleScreen(QWidget* parent = nullptr);
    IdleView* view() const { return m_view; }
    QString serviceName() const { return m_serviceName; }

    // Asks `am` to show its menu, waiting up to `waitMs` for an `am` being
    // started again; false (after saying so) when none answered.
    bool openMenu(int waitMs = 2000);
    void showKeys();

    // Shows the window below all others.
    void showBelow();

signals:
    void firstShown();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IdleView* m_view = nullptr;
    QTimer* m_tick = nullptr;
    QString m_serviceName;
    bool m_shownOnce = false;
};

// The service name as the idle screen shows it (UTIL_GetServiceName, UTF-8),
// or the platform's "No service" when none is set.
QString idleServiceName();
