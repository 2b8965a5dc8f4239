#pragma once
// Renderers of the slide flow. RasterRenderer casts the frame column by column
// in integer fixed point into a buffer of the widget's size turned a quarter
// turn, and shows it turned back.

#include "slidestage.h"

#include <QCache>
#include <QImage>
#include <QMap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

class QWidget;

class FrameRenderer
{
public:
    FrameRenderer() = default;
    virtual ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    virtual void prepare() = 0;
    virtual void present() = 0;

    SlideStage* stage = nullptr; // not owned
    bool needsRedraw = false;
    QWidget* owner = nullptr; // not owned
};

class RasterRenderer : public FrameRenderer
{
public:
    RasterRenderer();
    ~RasterRenderer() override;

    // Sizes the frame buffer and column slopes for the owner; drops all surfaces.
    void prepare() override;
    // Re-prepares on a size change, draws when needed, shows the frame.
    void present() override;

    void drawAllSlides();
    // Draws one pose into frame columns col1..col2; returns the columns it
    // covered (inclusive), or the empty rectangle (0, 0, -1, -1).
    QRect drawSlide(const SlidePose& pose, int col1, int col2);
    // The surface of a slide (owned by the renderer), or null.
    QImage* surfaceFor(int index);

    // A new surface: the picture scaled to w by h, transposed, with its
    // reflection below, on background bg. The caller owns it.
    static QImage* buildSurface(const QImage& image, int w, int h, QRgb bg);
    static QRgb mixColor(QRgb c1, QRgb c2, int a);
    // 0 quarter turn clockwise, 1 half turn, 2 quarter turn counter-clockwise,
    // anything else a copy.
    static QImage rotateImage(const QImage& image, int mode);

    void drawNotice();

    // A line of text drawn over the middle of the frame; empty for none.
    QString notice;

    const QImage& frame() const { return frameBuffer; }
    const QVector<int>& slopes() const { return columnSlopes; }
    int cachedSurfaceCount() const { return surfaces.count(); }
    bool hasCachedSurface(int index) const { return surfaces.contains(QString::number(index)); }

private:
    // What a cached surface was built from: the image object and its data.
    struct SurfaceSource
    {
        const QImage* image = nullptr;
        qint64 cacheKey = 0;
    };

    QSize lastSize{0, 0};
    QImage frameBuffer;
    QVector<int> columnSlopes;
    QImage* placeholderSurface = nullptr;
    QCache<QString, QImage> surfaces;
    QMap<int, SurfaceSource> surfaceSources;
};
