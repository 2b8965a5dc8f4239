#include "zpushbutton.h"

#include "stockicons.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>

ZPushButton::ZPushButton(const QString& resourceName, QWidget* parent, int style, int w, int h)
    : QPushButton(parent), m_style(style), m_resource(resourceName),
      m_picture(stockIcon(resourceName))
{
    init(w, h);
}

ZPushButton::ZPushButton(QWidget* parent, int style, int w, int h)
    : QPushButton(parent), m_style(style)
{
    init(w, h);
}

ZPushButton::~ZPushButton() = default;

void ZPushButton::init(int w, int h)
{
    setAutoDefault(false);
    setDefault(false);
    if (isSoftKey())
        setFocusPolicy(Qt::NoFocus);
    QFont f = font();
    f.setPixelSize(isSoftKey() ? 14 : 13);
    if (isSoftKey())
        f.setBold(true);
    setFont(f);
    const QSize hint = sizeHint();
    resize(w > 0 ? w : hint.width(), h > 0 ? h : hint.height());
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_popup)
            showPopup();
    });
}

void ZPushButton::setText(const QString& text)
{
    QPushButton::setText(text);
    setShortcut(QKeySequence());
}

bool ZPushButton::isSoftKey() const
{
    switch (m_style) {
    case SoftKeyRight:
    case SoftKeyLeft:
    case SoftKeyMiddle:
    case DialogCancel:
    case DialogAccept:
        return true;
    default:
        return false;
    }
}

void ZPushButton::setPopup(QMenu* menu)
{
    m_popup = menu;
}

void ZPushButton::showPopup()
{
    m_popup->ensurePolished();
    const QSize size = m_popup->sizeHint();
    QPoint at = mapToGlobal(QPoint(0, 0));
    at.ry() -= size.height();
    if (at.y() < 0)
        at.setY(0);
    m_popup->popup(at);
    // The first entry is lit, so Return chooses it straight away.
    const QList<QAction*> entries = m_popup->actions();
    if (!entries.isEmpty())
        m_popup->setActiveAction(entries.first());
}

QSize ZPushButton::sizeHint() const
{
    if (!m_picture.isNull() && !isSoftKey())
        return m_picture.size();
    if (isSoftKey())
        return QSize(70, 30);
    return QPushButton::sizeHint();
}

void ZPushButton::paintEvent(QPaintEvent* event)
{
    if (!isSoftKey() && m_style != PictureStyle) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    if (m_style == PictureStyle) {
        // A picture button: the picture, darkened while pressed, framed when focused.
        if (!m_picture.isNull())
            p.drawPixmap((width() - m_picture.width()) / 2, (height() - m_picture.height()) / 2,
                         m_picture);
        else
            QPushButton::paintEvent(event);
        if (down)
            p.fillRect(r, QColor(0, 0, 0, 60));
        if (hasFocus()) {
            p.setPen(QPen(QColor(30, 90, 200), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), 3, 3);
        }
        return;
    }
    // A soft key: the text or picture in white on the soft-key strip, lit while pressed.
    if (down) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawRoundedRect(QRectF(r).adjusted(3, 3, -3, -3), 4, 4);
    }
    p.setPen(isEnabled() ? Qt::white : QColor(160, 160, 170));
    if (!m_picture.isNull()) {
        p.drawPixmap((width() - m_picture.width()) / 2, (height() - m_picture.height()) / 2,
                     m_picture);
        return;
    }
    int align = Qt::AlignVCenter;
    switch (m_style) {
    case SoftKeyLeft:
    case DialogAccept:
        align |= Qt::AlignLeft;
        break;
    case SoftKeyRight:
    case DialogCancel:
        align |= Qt::AlignRight;
        break;
    default:
        align |= Qt::AlignHCenter;
        break;
    }
    const QRect textRect = r.adjusted(8, 0, -8, 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width());
    p.drawText(textRect, align, shown);
}

void ZPushButton::keyPressEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat()
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
