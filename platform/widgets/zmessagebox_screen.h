#pragma once
// Layout helpers of the platform's dialogs.
//
// Where the phone's 240 by 320 screen lies on the display. On the phone it is
// the whole display; on a desktop it is the top-left corner of the primary
// screen, as phone emulators place it. Dialogs of the platform size and centre
// themselves in this rectangle.

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QTextDocument>
#include <QTextOption>
#include <QtMath>
#include <QWidget>

namespace ezxscreen {

constexpr int PhoneWidth = 240;
constexpr int PhoneHeight = 320;

inline QRect phoneScreenRect()
{
    QPoint origin(0, 0);
    if (QScreen* s = QGuiApplication::primaryScreen())
        origin = s->geometry().topLeft();
    return QRect(origin, QSize(PhoneWidth, PhoneHeight));
}

// Moves a top-level widget of the given size to the centre of the phone screen
// (never above or left of its top-left corner).
inline void centreOnPhone(QWidget* w)
{
    const QRect phone = phoneScreenRect();
    const QSize s = w->size();
    const int x = phone.left() + qMax(0, (phone.width() - s.width()) / 2);
    const int y = phone.top() + qMax(0, (phone.height() - s.height()) / 2);
    w->move(x, y);
}

// The height `text` takes when wrapped to `width` in the text view.
inline int plainTextHeight(const QString& text, const QFont& font, int width)
{
    QTextDocument doc;
    doc.setDefaultFont(font);
    QTextOption opt = doc.defaultTextOption();
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(opt);
    doc.setPlainText(text);
    doc.setTextWidth(width);
    return qCeil(doc.size().height());
}

} // namespace ezxscreen
