#include "phonestyle.h"

#include "dragscroll.h"
#include "zpushbutton.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QTextEdit>

QString titleStripStyleSheet(const QString& objectName, int fontPixels)
{
    return QStringLiteral("QLabel#%1 { color: white; font-weight: bold; font-size: %2px;"
                          " padding-left: 6px; padding-right: 6px;"
                          " background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                          " stop:0 #3d6fb6, stop:1 #1d3f7a); }")
        .arg(objectName)
        .arg(fontPixels);
}

QWidget* createSoftKeyStrip(QWidget* parent, const QString& objectName)
{
    auto* strip = new QWidget(parent);
    strip->setObjectName(objectName);
    strip->setAttribute(Qt::WA_StyledBackground, true);
    strip->setStyleSheet(QStringLiteral("QWidget#%1 { background: qlineargradient(x1:0, y1:0,"
                                        " x2:0, y2:1, stop:0 #4a4f5c, stop:1 #1e2128); }")
                             .arg(objectName));
    return strip;
}

QTextEdit* createPlainTextView(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* view = new QTextEdit(parent);
    view->setObjectName(objectName);
    view->setReadOnly(true);
    view->setFrameShape(QFrame::NoFrame);
    view->setFocusPolicy(Qt::NoFocus);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setPlainText(text);
    // A long text is read with a finger: dragging scrolls it, never selects.
    enableDragScrolling(view);
    return view;
}

namespace {

constexpr char kOwnFocusLook[] = "ownFocusLook";
constexpr char kMarkerName[] = "focusMarker";

// The frame itself: a sibling of the focused field, on top of it, letting
// every tap through.
class FocusFrame : public QWidget
{
public:
    explicit FocusFrame(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x2f, 0x5d, 0x9b), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
};

// Lists light their current row; picture buttons draw their own frame.
bool showsOwnFocus(const QWidget* w)
{
    if (w->property(kOwnFocusLook).toBool() || qobject_cast<const QAbstractItemView*>(w))
        return true;
    const auto* button = qobject_cast<const ZPushButton*>(w);
    return button && button->style() == ZPushButton::PictureStyle;
}

class FocusMarker : public QObject
{
public:
    explicit FocusMarker(QWidget* window) : QObject(window), m_window(window)
    {
        setObjectName(QLatin1String(kMarkerName));
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { follow(now); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_field) {
            switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
                place();
                break;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void follow(QWidget* now)
    {
        if (m_field)
            m_field->removeEventFilter(this);
        m_field = nullptr;
        if (now && now->window() == m_window && now != m_window && !showsOwnFocus(now)) {
            m_field = now;
            m_field->installEventFilter(this);
        } else if (now && now->window() != m_window) {
            return;  // a box or a pop-up of its own: leave the mark where it is
        }
        place();
    }

    void place()
    {
        if (!m_field || !m_field->isVisible() || !m_field->parentWidget()) {
            if (m_frame)
                m_frame->hide();
            return;
        }
        QWidget* parent = m_field->parentWidget();
        if (!m_frame)
            m_frame = new FocusFrame(parent);
        else if (m_frame->parentWidget() != parent)
            m_frame->setParent(parent);
        m_frame->setGeometry(m_field->geometry());
        m_frame->raise();
        m_frame->show();
    }

    QWidget* m_window;
    QPointer<QWidget> m_field;
    QPointer<FocusFrame> m_frame;
};

} // namespace

void markKeyboardFocus(QWidget* window)
{
    if (window && qApp
        && !window->findChild<QObject*>(QLatin1String(kMarkerName), Qt::FindDirectChildrenOnly))
        new FocusMarker(window);
}

QString withLiteralAmpersands(const QString& text)
{
    return QString(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}
