#include "zscrollview.h"

#include "dragscroll.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

ZScrollView::ZScrollView(QWidget* parent, const char* name, Qt::WindowFlags f)
    : QScrollArea(parent)
{
    if (f)
        setWindowFlags(f);
    if (name)
        setObjectName(QString::fromLatin1(name));
    setFrameShape(QFrame::NoFrame);
    // The fields inside take the focus, not the view around them.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    // Phone screens scroll up and down only; a child as wide as the screen
    // must not bring a sideways bar when the vertical one appears.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setStyleSheet(QStringLiteral("QScrollBar:vertical { width: 8px; }"));
    horizontalScrollBar()->setStyleSheet(QStringLiteral("QScrollBar:horizontal { height: 8px; }"));

    m_contents = new QWidget;
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->installEventFilter(this);
    setWidget(m_contents);
    m_contents->resize(QScrollArea::viewport()->size());
    enableDragScrolling(this);

    // Moving the focus through the fields brings the focused one into view.
    if (qApp) {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now && m_contents->isAncestorOf(now))
                ensureChildVisible(now);
        });
    }
}

ZScrollView::~ZScrollView() = default;

QWidget* ZScrollView::viewport() const
{
    return m_contents;
}

void ZScrollView::addChild(QWidget* child, int x, int y)
{
    if (!child)
        return;
    if (child->parentWidget() != m_contents)
        child->setParent(m_contents);
    child->move(x, y);
    child->show();
    child->installEventFilter(this);
    updateContentsSize();
}

void ZScrollView::moveChild(QWidget* child, int x, int y)
{
    if (!child)
        return;
    child->move(x, y);
    updateContentsSize();
}

void ZScrollView::enableClipper(bool on)
{
    m_clipper = on;
}

void ZScrollView::ensureChildVisible(QWidget* child)
{
    if (!child || !m_contents->isAncestorOf(child))
        return;
    QScrollBar* bar = verticalScrollBar();
    const int top = child->mapTo(m_contents, QPoint(0, 0)).y();
    const int bottom = top + child->height();
    const int shown = QScrollArea::viewport()->height();
    int value = bar->value();
    if (bottom > value + shown)
        value = bottom - shown;
    if (top < value)
        value = top;
    bar->setValue(value);
    horizontalScrollBar()->setValue(0);
}

bool ZScrollView::focusNextPrevChild(bool next)
{
    // QScrollArea would bring the new field into view with wide margins on
    // every side, sideways too; the focus handler above scrolls as it should.
    return QWidget::focusNextPrevChild(next);
}

void ZScrollView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        event->ignore();
        return;
    default:
        QScrollArea::keyPressEvent(event);
    }
}

bool ZScrollView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == m_contents) {
            auto* ce = static_cast<QChildEvent*>(event);
            if (ce->child()->isWidgetType())
                ce->child()->installEventFilter(this);
        }
        break;
    case QEvent::ChildRemoved:
        if (watched == m_contents)
            updateContentsSize();
        break;
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched != m_contents)
            updateContentsSize();
        break;
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}

void ZScrollView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    updateContentsSize();
}

void ZScrollView::updateContentsSize()
{
    if (m_updating)
        return;
    m_updating = true;
    int right = 0;
    int bottom = 0;
    for (QObject* o : m_contents->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        right = qMax(right, w->x() + w->width());
        bottom = qMax(bottom, w->y() + w->height());
    }
    const QSize visible = QScrollArea::viewport()->size();
    const QSize wanted(qMax(right, visible.width()), qMax(bottom, visible.height()));
    if (m_contents->size() != wanted)
        m_contents->resize(wanted);
    m_updating = false;
}
