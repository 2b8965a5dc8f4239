#include "resiconreader.h"

#include "stockicons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>


namespace {

constexpr int Side = 36;


// A round badge with a soft rim, the ground of most dialog icons.
void disc(QPainter& p, const QColor& fill)
{
    QRadialGradient g(QPointF(Side * 0.38, Side * 0.32), Side * 0.62);
    g.setColorAt(0, fill.lighter(145));
    g.setColorAt(1, fill);
    p.setPen(QPen(fill.darker(150), 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, Side - 4, Side - 4));
}

void drawComplete(QPainter& p)
{
    disc(p, QColor(0x2e, 0x9b, 0x3c));
    QPainterPath tick;
    tick.moveTo(10, 19);
    tick.lineTo(16, 25);
    tick.lineTo(27, 11);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void drawError(QPainter& p)
{
    disc(p, QColor(0xc6, 0x28, 0x28));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(24, 24));
    p.drawLine(QPointF(24, 12), QPointF(12, 24));
}

void drawExclamation(QPainter& p)
{
    QPainterPath tri;
    tri.moveTo(Side / 2.0, 3);
    tri.lineTo(Side - 3, Side - 5);
    tri.lineTo(3, Side - 5);
    tri.closeSubpath();
    QLinearGradient g(0, 0, 0, Side);
    g.setColorAt(0, QColor(0xff, 0xe0, 0x66));
    g.setColorAt(1, QColor(0xf2, 0xa9, 0x00));
    p.setPen(QPen(QColor(0xa8, 0x6d, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(16, 11, 4, 12), 2, 2);
    p.drawEllipse(QRectF(16, 25, 4, 4));
}

void drawQuestion(QPainter& p)
{
    disc(p, QColor(0x1f, 0x6f, 0xc5));
    QPainterPath hook;
    hook.moveTo(12.5, 14);
    hook.arcTo(QRectF(12.5, 8, 11, 11), 180, -270);   // round top of the mark
    hook.lineTo(18, 22);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(16, 25, 4, 4));
}

void drawInformation(QPainter& p)
{
    disc(p, QColor(0x1f, 0x6f, 0xc5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(16, 8, 4.5, 4.5));
    p.drawRoundedRect(QRectF(16, 15, 4.5, 13), 1.5, 1.5);
}

void drawWaiting(QPainter& p)
{
    disc(p, QColor(0x6b, 0x7b, 0x8c));
    // An hourglass: two glass halves, sand running down.
    QPainterPath glass;
    glass.moveTo(11, 9);
    glass.lineTo(25, 9);
    glass.lineTo(18.5, 18);
    glass.lineTo(25, 27);
    glass.lineTo(11, 27);
    glass.lineTo(17.5, 18);
    glass.closeSubpath();
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawPath(glass);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    QPainterPath top;
    top.moveTo(14, 12.5);
    top.lineTo(22, 12.5);
    top.lineTo(18, 17.5);
    top.closeSubpath();
    p.drawPath(top);
    QPainterPath bottom;
    bottom.moveTo(13, 26);
    bottom.lineTo(23, 26);
    bottom.lineTo(18, 22);
    bottom.closeSubpath();
    p.drawPath(bottom);
    p.drawRect(QRectF(17.6, 17.5, 0.8, 5));
}

struct IconEntry {
    const char* name;
    void (*draw)(QPainter&);
};

const IconEntry Icons[] = {
    {"Dialog_Complete.gif", drawComplete},
    {"Dialog_Error.gif", drawError},
    {"Dialog_Exclamatory_Mark.gif", drawExclamation},
    {"Dialog_Question_Mark.gif", drawQuestion},
    {"Dialog_Waiting.gif", drawWaiting},
    {"Dialog_Information.gif", drawInformation},
};

const IconEntry* findIcon(const QString& name)
{
    const QString full = name.endsWith(QLatin1String(".gif")) ? name
                                                              : name + QLatin1String(".gif");
    for (const IconEntry& e : Icons)
        if (full == QLatin1String(e.name))
            return &e;
    return nullptr;
}

QPixmap render(const IconEntry& e)
{
    QImage img(Side, Side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        e.draw(p);
    }
    return QPixmap::fromImage(img);
}

} // namespace

RES_ICON_Reader::RES_ICON_Reader() = default;
RES_ICON_Reader::~RES_ICON_Reader() = default;

QPixmap RES_ICON_Reader::getIcon(const QString& name, bool useCache)
{
    // Pixmaps exist only once the GUI application does.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QPixmap();
    const IconEntry* e = findIcon(name);
    if (!e)
        return stockIcon(name);   // soft-key and picker pictures, or null
    if (!useCache)
        return render(*e);
    const QString key = QLatin1String("ezx-res-icon:") + QLatin1String(e->name);
    QPixmap pm;
    if (!QPixmapCache::find(key, &pm)) {
        pm = render(*e);
        QPixmapCache::insert(key, pm);
    }
    return pm;
}

QStringList RES_ICON_Reader::iconNames()
{
    QStringList names;
    for (const IconEntry& e : Icons)
        names << QLatin1String(e.name);
    return names;
}
