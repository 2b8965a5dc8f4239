#include "stockicons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap canvas(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

// Three bars over a small triangle pointing up: "a menu opens above".
QPixmap drawMenu()
{
    QPixmap pm = canvas(22, 18);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(3, 2 + i * 5, 16, 2.6), 1, 1);
    return pm;
}

// A cross in a circle.
QPixmap drawExit()
{
    QPixmap pm = canvas(20, 20);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 2, 16, 16));
    p.drawLine(QPointF(7, 7), QPointF(13, 13));
    p.drawLine(QPointF(13, 7), QPointF(7, 13));
    return pm;
}

void paintFolder(QPainter& p, const QRectF& r)
{
    const QColor edge(150, 110, 20);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(r.x(), r.y(), r.width() * 0.45, r.height() * 0.3), 1.5, 1.5);
    p.setPen(QPen(edge, 1));
    p.setBrush(QColor(230, 180, 60));
    p.drawPath(tab);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(255, 220, 110));
    g.setColorAt(1, QColor(235, 175, 45));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r.x(), r.y() + r.height() * 0.18, r.width(), r.height() * 0.82),
                      2, 2);
}

QPixmap drawPickerButton()
{
    QPixmap pm = canvas(24, 22);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 100, 130), 1));
    p.setBrush(QColor(235, 238, 245));
    p.drawRoundedRect(QRectF(0.5, 0.5, 23, 21), 3, 3);
    paintFolder(p, QRectF(4, 4, 16, 13));
    return pm;
}

QPixmap drawFolder()
{
    QPixmap pm = canvas(18, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paintFolder(p, QRectF(1, 1.5, 16, 13));
    return pm;
}

// A sheet with a folded corner and a small box on it (a package).
QPixmap drawFile()
{
    QPixmap pm = canvas(18, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(3.5, 0.5);
    sheet.lineTo(11.5, 0.5);
    sheet.lineTo(15.5, 4.5);
    sheet.lineTo(15.5, 15.5);
    sheet.lineTo(3.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 100, 120), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(QPointF(11.5, 0.5), QPointF(11.5, 4.5));
    p.drawLine(QPointF(11.5, 4.5), QPointF(15.5, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 120, 200));
    p.drawRect(QRectF(6, 8, 7, 5));
    return pm;
}

// A folder with an arrow pointing up.
QPixmap drawUp()
{
    QPixmap pm = drawFolder();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 120), 2));
    p.drawLine(QPointF(9, 13), QPointF(9, 6));
    p.drawLine(QPointF(9, 5.5), QPointF(5.5, 9));
    p.drawLine(QPointF(9, 5.5), QPointF(12.5, 9));
    return pm;
}

// A white check mark on a green disc.
QPixmap drawComplete()
{
    QPixmap pm = canvas(40, 40);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(16, 14), 24);
    g.setColorAt(0, QColor(120, 210, 110));
    g.setColorAt(1, QColor(30, 140, 50));
    p.setPen(QPen(QColor(20, 100, 40), 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 36, 36));
    p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(11, 21);
    tick.lineTo(17.5, 27.5);
    tick.lineTo(29, 13);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    return pm;
}


// A rounded tile with a small window on it: an application without an icon
// of its own.
QPixmap drawApplication()
{
    QPixmap pm = canvas(32, 32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, QColor(120, 160, 220));
    g.setColorAt(1, QColor(40, 80, 160));
    p.setPen(QPen(QColor(30, 50, 100), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 9, 16, 14));
    p.setBrush(QColor(40, 80, 160));
    p.drawRect(QRectF(9, 12, 14, 10));
    return pm;
}

// A folder at the size of the main menu's entries.
QPixmap drawMenuFolder()
{
    QPixmap pm = canvas(32, 32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paintFolder(p, QRectF(2, 5, 28, 23));
    return pm;
}

using Painter = QPixmap (*)();

const QHash<QString, Painter>& painters()
{
    static const QHash<QString, Painter> table = {
        {QStringLiteral("CST_Menu"), &drawMenu},
        {QStringLiteral("CST_Exit"), &drawExit},
        {QStringLiteral("InSet_Picker_Folder"), &drawPickerButton},
        {QStringLiteral("Picker_Folder"), &drawFolder},
        {QStringLiteral("Picker_File"), &drawFile},
        {QStringLiteral("Picker_Up"), &drawUp},
        {QStringLiteral("AM_InstallComplete"), &drawComplete},
        {QStringLiteral("AM_Application"), &drawApplication},
        {QStringLiteral("AM_Folder"), &drawMenuFolder},
    };
    return table;
}

} // namespace

QPixmap stockIcon(const QString& name)
{
    const Painter paint = painters().value(name, nullptr);
    return paint ? paint() : QPixmap();
}

bool stockIconExists(const QString& name)
{
    return painters().contains(name);
}
