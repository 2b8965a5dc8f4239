#include "dragscroll.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

// A flick slows down by this factor every frame and stops below the last
// speed (pixels per millisecond).
const int kFrameMs = 16;
const double kSlowdown = 0.95;
const double kStopSpeed = 0.02;

class DragScroller : public QObject
{
public:
    explicit DragScroller(QAbstractScrollArea* area) : QObject(area), m_area(area)
    {
        m_flick.setInterval(kFrameMs);
        connect(&m_flick, &QTimer::timeout, this, &DragScroller::flickStep);
        watch(area->viewport());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_replaying)
            return false;
        switch (event->type()) {
        case QEvent::ChildAdded:
            // Rows added later (a list of buttons in a scroll view) drag too.
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
                watch(child);
            return false;
        case QEvent::MouseButtonPress:
            return press(qobject_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return move(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return release(static_cast<QMouseEvent*>(event));
        default:
            return false;
        }
    }

private:
    // The viewport and everything on it: a drag may start on any of them.
    void watch(QWidget* widget)
    {
        widget->installEventFilter(this);
        for (QWidget* child : widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            watch(child);
    }

    bool press(QWidget* target, QMouseEvent* event)
    {
        if (!target || event->button() != Qt::LeftButton)
            return false;
        // A touch on a moving list stops it, and is no tap.
        const bool wasFlicking = m_flick.isActive();
        m_flick.stop();
        m_pressed = true;
        m_dragging = wasFlicking;
        m_target = target;
        m_start = event->globalPosition().toPoint();
        m_last = m_start;
        m_startValue = QPoint(m_area->horizontalScrollBar()->value(),
                              m_area->verticalScrollBar()->value());
        m_pressEvent.reset(event->clone());
        m_velocity = QPointF();
        m_clock.start();
        // The press is held back until it is known to be a tap: a drag must
        // neither mark a row nor start a text selection.
        return true;
    }

    bool move(QMouseEvent* event)
    {
        if (!m_pressed)
            return false;
        const QPoint at = event->globalPosition().toPoint();
        if (!m_dragging
            && (at - m_start).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_dragging = true;
        const qint64 ms = qMax<qint64>(1, m_clock.restart());
        const QPointF step = QPointF(at - m_last) / double(ms);
        // Smoothed, so that one jittery sample does not decide the flick.
        m_velocity = m_velocity * 0.3 + step * 0.7;
        m_last = at;
        scrollTo(m_startValue - (at - m_start));
        return true;
    }

    bool release(QMouseEvent* event)
    {
        if (!m_pressed || event->button() != Qt::LeftButton)
            return false;
        m_pressed = false;
        if (m_dragging) {
            m_dragging = false;
            // A finger that stopped before it lifted does not flick.
            if (m_clock.elapsed() < 100 && std::hypot(m_velocity.x(), m_velocity.y()) > kStopSpeed)
                m_flick.start();
            return true;
        }
        // A tap: the held-back press now, the release after it as it came.
        replay(m_pressEvent.get());
        return false;
    }

    void replay(QMouseEvent* event)
    {
        if (!event || !m_target)
            return;
        m_replaying = true;
        const std::unique_ptr<QMouseEvent> copy(event->clone());
        QCoreApplication::sendEvent(m_target, copy.get());
        m_replaying = false;
    }

    void flickStep()
    {
        const QPoint value(m_area->horizontalScrollBar()->value(),
                           m_area->verticalScrollBar()->value());
        const QPoint next = value - (m_velocity * kFrameMs).toPoint();
        scrollTo(next);
        m_velocity *= kSlowdown;
        const QPoint reached(m_area->horizontalScrollBar()->value(),
                             m_area->verticalScrollBar()->value());
        if (std::hypot(m_velocity.x(), m_velocity.y()) < kStopSpeed || reached == value)
            m_flick.stop();
    }

    void scrollTo(const QPoint& value)
    {
        m_area->horizontalScrollBar()->setValue(value.x());
        m_area->verticalScrollBar()->setValue(value.y());
    }

    QAbstractScrollArea* m_area;
    QPointer<QWidget> m_target;   // what the press came to
    QTimer m_flick;
    QElapsedTimer m_clock;
    std::unique_ptr<QMouseEvent> m_pressEvent;
    QPoint m_start;
    QPoint m_last;
    QPoint m_startValue;
    QPointF m_velocity;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_replaying = false;
};

} // namespace

void enableDragScrolling(QAbstractScrollArea* area)
{
    static const char* const kGiven = "ezxDragScrolling";
    if (!area || area->property(kGiven).toBool())
        return;
    area->setProperty(kGiven, true);
    new DragScroller(area);
}
