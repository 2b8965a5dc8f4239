#include "framerenderer.h"

#include "fixedpoint.h"

#include <QColor>
#include <QPainter>
#include <QWidget>
#include <utility>

namespace {

constexpr QRgb kOpaque = 0xFF000000u;

QRect emptyRect()
{
    return QRect(QPoint(0, 0), QPoint(-1, -1));
}

// Pixel (x, y) of a 32-bit image, through its line pointer.
inline QRgb* pixelAt(uchar* bits, qsizetype bytesPerLine, int x, int y)
{
    return reinterpret_cast<QRgb*>(bits + qsizetype(y) * bytesPerLine) + x;
}

} // namespace

FrameRenderer::~FrameRenderer() = default;

RasterRenderer::RasterRenderer()
    : surfaces(100)
{
}

RasterRenderer::~RasterRenderer()
{
    surfaces.clear();
    delete placeholderSurface;
}

void RasterRenderer::prepare()
{
    if (!owner)
        return;
    surfaces.clear();
    delete placeholderSurface;
    placeholderSurface = nullptr;

    lastSize = owner->size();
    const int ow = owner->width();
    const int oh = owner->height();
    frameBuffer = QImage(oh, ow, QImage::Format_RGB32);
    if (!frameBuffer.isNull())
        frameBuffer.fill(kOpaque | (stage ? stage->backgroundRgb : 0u));

    const int halfW = (oh + 1) / 2;
    const int halfH = (ow + 1) / 2;
    columnSlopes.resize(2 * qMax(halfW, 0));
    for (int i = 0; i < halfW; ++i) {
        // A widget without width has no frame lines: every slope is 0 then.
        const int g = halfH > 0 ? (512 + 1024 * i) / (2 * halfH) : 0;
        columnSlopes[halfW - 1 - i] = -g;
        columnSlopes[halfW + i] = g;
    }
    needsRedraw = true;
}

void RasterRenderer::present()
{
    if (!owner)
        return;
    if (owner->width() != lastSize.width() || owner->height() != lastSize.height())
        prepare();
    if (needsRedraw)
        drawAllSlides();
    QPainter painter(owner);
    painter.drawImage(QPoint(0, 0), rotateImage(frameBuffer, 2));
    painter.end();
}

void RasterRenderer::drawAllSlides()
{
    if (!stage || frameBuffer.isNull()) {
        needsRedraw = false;
        return;
    }
    frameBuffer.fill(kOpaque | stage->backgroundRgb);

    const QRect r = drawSlide(stage->centerPose, -1, -1);
    int c1 = r.left();
    int c2 = r.right();
    for (const SlidePose& pose : std::as_const(stage->leftPoses)) {
        const QRect rs = drawSlide(pose, 0, c1 - 1);
        if (!rs.isEmpty())
            c1 = rs.left();
    }
    for (const SlidePose& pose : std::as_const(stage->rightPoses)) {
        const QRect rs = drawSlide(pose, c2 + 1, frameBuffer.width());
        if (!rs.isEmpty())
            c2 = rs.right();
    }
    if (!notice.isEmpty())
        drawNotice();
    needsRedraw = false;
}

void RasterRenderer::drawNotice()
{
    // Upright in the frame, so upright for the user holding the screen
    // sideways; in a grey that reads on light and dark backgrounds alike.
    QPainter painter(&frameBuffer);
    QFont font = painter.font();
    font.setPixelSize(qMax(12, frameBuffer.height() / 16));
    painter.setFont(font);
    painter.setPen(qGray(stage->backgroundRgb) > 128 ? QColor(64, 64, 64) : QColor(208, 208, 208));
    painter.drawText(frameBuffer.rect().adjusted(8, 8, -8, -8),
                     Qt::AlignCenter | Qt::TextWordWrap, notice);
}

QRect RasterRenderer::drawSlide(const SlidePose& pose, int col1, int col2)
{
    const int w = frameBuffer.width();
    const int h = frameBuffer.height();

    const QImage* src = surfaceFor(pose.index);
    if (!src)
        return emptyRect();
    if (pose.opacity == 0 || w <= 0 || h <= 0)
        return emptyRect();

    if (col1 > col2)
        std::swap(col1, col2);
    if (col1 < 0)
        col1 = 0;
    if (col2 < 0)
        col2 = w - 1;
    col2 = qMin(col2, w - 1);
    col1 = qMin(col1, w - 1);

    QRect rect = emptyRect();

    const int distance = h;
    const int sdx = cosineFixed(pose.angle);
    const int sdy = sineFixed(pose.angle);
    const int slideW = stage->slideW;
    const int xs = sub32(pose.x, mul32(slideW, sdx) / 2);
    const int zs = sub32(pose.z, mul32(slideW, sdy) / 2);

    const int dist0 = distance * 1024;
    const int edgeDepth = add32(dist0, zs);
    // The slide's left edge in the eye's own plane has no projection.
    if (edgeDepth == 0)
        return rect;
    int xi = add32(w * 512, divFixed(mul32(xs, h), edgeDepth)) >> 10;
    if (xi < 0)
        xi = 0;
    if (xi >= w)
        return rect;

    rect.setLeft(xi);
    bool drawn = false;
    const QRgb bg = stage->backgroundRgb;
    const int srcLines = src->height();
    const int srcLen = src->width();
    const int opacity = pose.opacity;
    const int zTerm = mul32(pose.z, sdx) / sdy; // sdy is never 0
    const int slope = divFixed(sdx, sdy);

    uchar* bits = frameBuffer.bits();
    const qsizetype bpl = frameBuffer.bytesPerLine();

    for (int x = qMax(xi, col1); x <= col2; ++x) {
        const int ray = columnSlopes[x];
        // The ray meets the slide's plane where the two lines cross; a ray
        // that runs parallel to the plane never meets it: the column misses.
        const int fk = sub32(ray, slope);
        if (fk == 0)
            continue;
        const int num = add32(sub32(mul32(ray, distance), pose.x), zTerm);
        const int hitz = sub32(0, divFixed(num, fk));

        const int dist = add32(dist0, hitz);
        if (dist < 0)
            continue;
        const int hitx = mulFixed(dist, ray);
        const int hitd = divFixed(sub32(hitx, pose.x), sdx); // sdx is never 0

        const int column = srcLines / 2 + (hitd >> 10);
        if (column >= srcLines)
            break;
        if (column < 0)
            continue;

        rect.setRight(x);
        if (!drawn)
            rect.setLeft(x);
        drawn = true;

        int y1 = h / 2;
        int y2 = y1 + 1;
        const int center = srcLen / 2;
        const int dy = dist / h;
        int p1 = center * 1024 - dy / 2;
        int p2 = center * 1024 + dy / 2;

        const QRgb* line = reinterpret_cast<const QRgb*>(src->constScanLine(column));
        // Rows pair off outward from the middle while both stay in the frame,
        // p1 stays at or above the line's start and p2 inside the line. As
        // p1 + p2 stays 2*center*1024, p2 points one past the line's end
        // exactly when p1 reaches 0: the column ends before that read.
        const int lineEnd = srcLen * 1024;
        int rows = qMin(y1 + 1, h - y2);
        if (p1 < 0 || p2 >= lineEnd)
            rows = 0;
        else if (dy > 0)
            rows = qMin(rows, qMin(p1 / dy + 1, (lineEnd - 1 - p2) / dy + 1));
        QRgb* up = pixelAt(bits, bpl, x, y1);
        QRgb* down = up + (y2 - y1) * (bpl / 4);
        const qsizetype step = bpl / 4;
        if (opacity == 256) {
            for (int j = 0; j < rows; ++j) {
                *up = line[p1 >> 10];
                *down = line[p2 >> 10];
                p1 = sub32(p1, dy);
                p2 = add32(p2, dy);
                up -= step;
                down += step;
            }
        } else {
            for (int j = 0; j < rows; ++j) {
                *up = mixColor(line[p1 >> 10], bg, opacity);
                *down = mixColor(line[p2 >> 10], bg, opacity);
                p1 = sub32(p1, dy);
                p2 = add32(p2, dy);
                up -= step;
                down += step;
            }
        }
    }

    rect.setTop(0);
    rect.setBottom(h - 1);
    return rect;
}

QImage* RasterRenderer::surfaceFor(int index)
{
    if (!stage || index < 0 || index >= stage->slideCount())
        return nullptr;
    const QString key = QString::number(index);
    const QImage* img = stage->images.at(index);

    if (!img || img->isNull()) {
        surfaces.remove(key);
        surfaceSources.remove(index);
        if (placeholderSurface)
            return placeholderSurface;
        QImage field(stage->slideW, stage->slideH, QImage::Format_RGB32);
        if (!field.isNull()) {
            QPainter painter(&field);
            painter.fillRect(field.rect(), QBrush(QColor(192, 192, 192)));
            painter.fillRect(QRect(5, 5, stage->slideW - 10, stage->slideH - 10),
                             QBrush(QColor(64, 64, 64)));
            painter.end();
        }
        placeholderSurface = buildSurface(field, stage->slideW, stage->slideH, stage->backgroundRgb);
        return placeholderSurface;
    }

    // The same image object at the same index, with the same data, keeps its
    // surface. The data key matters as well: a released image's address can be
    // handed to the next image made.
    const SurfaceSource known = surfaceSources.value(index);
    if (known.image == img && known.cacheKey == img->cacheKey()) {
        if (QImage* s = surfaces.object(key))
            return s;
    }

    QImage* s = buildSurface(*img, stage->slideW, stage->slideH, stage->backgroundRgb);
    surfaces.insert(key, s, 1);
    surfaceSources.insert(index, SurfaceSource{img, img->cacheKey()});
    return surfaces.object(key);
}

QImage* RasterRenderer::buildSurface(const QImage& image, int w, int h, QRgb bg)
{
    if (w <= 0 || h <= 0)
        return new QImage();
    auto* result = new QImage(2 * h, w, QImage::Format_RGB32);
    if (result->isNull())
        return result;
    result->fill(kOpaque | bg);

    QImage img = image.isNull()
        ? QImage()
        : image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_ARGB32);
    if (!img.isNull() && image.hasAlphaChannel()) {
        // Transparent parts show the background, not the colour values that
        // happen to sit under an alpha of 0.
        QImage flat(img.size(), QImage::Format_ARGB32);
        flat.fill(QColor::fromRgb(bg));
        QPainter painter(&flat);
        painter.drawImage(0, 0, img);
        painter.end();
        img = flat;
    }
    if (img.isNull() || img.width() != w || img.height() != h)
        return result;

    const int hs = h / 3;
    const int ht = h - hs;
    uchar* bits = result->bits();
    const qsizetype bpl = result->bytesPerLine();
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x)
            *pixelAt(bits, bpl, hs + y, x) = kOpaque | row[x];
    }
    for (int y = 0; y < ht; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(h - 1 - y));
        const int a = (ht - y) * 128 / ht;
        for (int x = 0; x < w; ++x)
            *pixelAt(bits, bpl, h + hs + y, x) = mixColor(row[x], bg, a);
    }
    return result;
}

QRgb RasterRenderer::mixColor(QRgb c1, QRgb c2, int a)
{
    // Opacities outside 0..256 are held to that range.
    a = qBound(0, a, 256);
    const int b = 256 - a;
    const uint r = (uint(qRed(c1)) * a / 256 + uint(qRed(c2)) * b / 256) & 0xFF;
    const uint g = (uint(qGreen(c1)) * a / 256 + uint(qGreen(c2)) * b / 256) & 0xFF;
    const uint bl = (uint(qBlue(c1)) * a / 256 + uint(qBlue(c2)) * b / 256) & 0xFF;
    return kOpaque | (r << 16) | (g << 8) | bl;
}

QImage RasterRenderer::rotateImage(const QImage& image, int mode)
{
    if (image.isNull())
        return QImage();
    if (mode < 0 || mode > 2)
        return image.copy();

    // Pixels are moved as whole bytes or whole 32-bit words; other depths are
    // first brought to 32 bits.
    QImage source = image;
    if (source.depth() != 8 && source.depth() != 32)
        source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    const int W = source.width();
    const int H = source.height();
    const bool turned = mode != 1;
    QImage result(turned ? H : W, turned ? W : H, source.format());
    if (result.isNull())
        return result;
    if (source.depth() == 8)
        result.setColorTable(source.colorTable());

    auto target = [&](int x, int y) -> QPoint {
        switch (mode) {
        case 0: return QPoint(H - 1 - y, x);
        case 1: return QPoint(W - 1 - x, H - 1 - y);
        default: return QPoint(y, W - 1 - x);
        }
    };

    uchar* dst = result.bits();
    const qsizetype dstBpl = result.bytesPerLine();
    if (source.depth() == 32) {
        for (int y = 0; y < H; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            for (int x = 0; x < W; ++x) {
                const QPoint t = target(x, y);
                *pixelAt(dst, dstBpl, t.x(), t.y()) = row[x];
            }
        }
    } else {
        for (int y = 0; y < H; ++y) {
            const uchar* row = source.constScanLine(y);
            for (int x = 0; x < W; ++x) {
                const QPoint t = target(x, y);
                dst[qsizetype(t.y()) * dstBpl + t.x()] = row[x];
            }
        }
    }
    return result;
}
