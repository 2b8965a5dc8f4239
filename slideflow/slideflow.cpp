#include "slideflow.h"

#include "framerenderer.h"
#include "slidemotion.h"
#include "slidestage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

class FlowInternals
{
public:
    SlideStage* stage = nullptr;
    SlideMotion* motion = nullptr;
    RasterRenderer* renderer = nullptr;
    QTimer refreshTimer;
};

SlideFlow::SlideFlow(QWidget* parent)
    : QWidget(parent)
    , d(new FlowInternals)
{
    d->stage = new SlideStage;
    d->stage->computeGeometry();
    d->stage->resetPoses();

    d->renderer = new RasterRenderer;
    d->renderer->stage = d->stage;
    d->renderer->owner = this;
    d->renderer->prepare();

    d->motion = new SlideMotion;
    d->motion->stage = d->stage;
    connect(&d->motion->stepTimer, &QTimer::timeout, this, &SlideFlow::updateAnimation);

    d->refreshTimer.setSingleShot(true);
    connect(&d->refreshTimer, &QTimer::timeout, this, &SlideFlow::render);

    // Every frame covers the whole widget: no erasing before a repaint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(QStringLiteral("SlideFlow"));
}

SlideFlow::~SlideFlow()
{
    delete d->motion;
    delete d->renderer;
    delete d->stage;
    delete d;
}

SlideStage& SlideFlow::stage() const { return *d->stage; }
SlideMotion& SlideFlow::motion() const { return *d->motion; }
RasterRenderer& SlideFlow::renderer() const { return *d->renderer; }

QColor SlideFlow::backgroundColor() const
{
    return QColor::fromRgba(d->stage->backgroundRgb);
}

void SlideFlow::setBackgroundColor(const QColor& c)
{
    d->stage->backgroundRgb = 0xFF000000u | (c.rgb() & 0x00FFFFFFu);
    triggerRender();
}

QSize SlideFlow::slideSize() const
{
    return QSize(d->stage->slideW, d->stage->slideH);
}

void SlideFlow::setSlideSize(QSize size)
{
    d->stage->slideW = qBound(1, size.width(), kMaxSlideSide);
    d->stage->slideH = qBound(1, size.height(), kMaxSlideSide);
    d->stage->computeGeometry();
    triggerRender();
}

int SlideFlow::slideCount() const
{
    return d->stage->slideCount();
}

int SlideFlow::centerIndex() const
{
    return d->stage->centerIndex;
}

QImage SlideFlow::slideImage(int index) const
{
    if (index < 0 || index >= d->stage->slideCount())
        return QImage();
    const QImage* img = d->stage->images.at(index);
    return img ? *img : QImage();
}

void SlideFlow::addSlide(const QImage& image)
{
    d->stage->images.append(new QImage(image));
    triggerRender();
}

void SlideFlow::addSlide(const QPixmap& pixmap)
{
    addSlide(pixmap.toImage());
}

void SlideFlow::setSlide(int index, const QImage& image)
{
    if (index < 0 || index >= d->stage->slideCount())
        return;
    QImage* fresh = image.isNull() ? nullptr : new QImage(image);
    QImage*& entry = d->stage->images[index];
    delete entry;
    entry = fresh;
    triggerRender();
}

void SlideFlow::setSlide(int index, const QPixmap& pixmap)
{
    setSlide(index, pixmap.toImage());
}

void SlideFlow::removeSlide(int index)
{
    SlideStage& st = *d->stage;
    SlideMotion& m = *d->motion;
    if (index < 0 || index >= st.slideCount())
        return;
    delete st.images.at(index);
    st.images.remove(index);
    const int n = st.slideCount();

    // Everything after the removed slide moves one place down: the centre,
    // the motion's target and position, and the poses, so that what the user
    // sees stays where it is.
    auto shift = [index](int& i) {
        if (i > index)
            --i;
    };
    // When the centre slide itself goes, the neighbour on the side of the
    // folder's middle takes its place, so that a folder whose broken files
    // drop out still opens on its middle picture.
    if (index == st.centerIndex && !m.isMoving() && index > 0 && index > n / 2) {
        --st.centerIndex;
        --m.targetIndex;
    }
    shift(st.centerIndex);
    shift(m.targetIndex);
    if ((m.position >> 16) > index)
        m.position -= 65536;
    shift(st.centerPose.index);
    for (SlidePose& p : st.leftPoses)
        shift(p.index);
    for (SlidePose& p : st.rightPoses)
        shift(p.index);

    const int last = qMax(0, n - 1);
    if (st.centerIndex > last || m.targetIndex > last || !m.isMoving()) {
        // At rest, or the end of the list came nearer than the motion's aim:
        // the flow stands still on the nearest slide.
        setCenterIndex(qMin(st.centerIndex, last));
        return;
    }
    triggerRender();
}

void SlideFlow::setNotice(const QString& text)
{
    d->renderer->notice = text;
    triggerRender();
}

QString SlideFlow::notice() const
{
    return d->renderer->notice;
}

void SlideFlow::setCenterIndex(int index)
{
    const int n = d->stage->slideCount();
    if (index >= n - 1)
        index = n - 1;
    if (index < 0)
        index = 0;
    d->stage->centerIndex = index;
    d->stage->resetPoses();
    d->motion->halt(index);
    triggerRender();
}

void SlideFlow::clear()
{
    for (int i = 0; i < d->stage->slideCount(); ++i)
        setSlide(i, QImage());
    d->stage->releaseImages();
    d->stage->resetPoses();
    triggerRender();
}

void SlideFlow::showPrevious()
{
    const int dir = d->motion->direction;
    const int c = d->stage->centerIndex;
    if (dir > 0)
        d->motion->startTowards(c);
    if (dir == 0 && c > 0)
        d->motion->startTowards(c - 1);
    if (dir < 0)
        d->motion->targetIndex = qMax(0, c - 2);
}

void SlideFlow::showNext()
{
    const int dir = d->motion->direction;
    const int c = d->stage->centerIndex;
    const int n = d->stage->slideCount();
    if (dir < 0)
        d->motion->startTowards(c);
    if (dir == 0 && c < n - 1)
        d->motion->startTowards(c + 1);
    if (dir > 0)
        d->motion->targetIndex = qMin(c + 2, n - 1);
}

void SlideFlow::showSlide(int index)
{
    const int n = d->stage->slideCount();
    if (index < 0)
        index = 0;
    if (index > n - 1)
        index = n - 1;
    if (index == d->stage->centerPose.index)
        return;
    d->motion->startTowards(index);
}

void SlideFlow::render()
{
    d->renderer->needsRedraw = true;
    update();
}

void SlideFlow::triggerRender()
{
    d->refreshTimer.start(0);
}

void SlideFlow::updateAnimation()
{
    d->motion->advance();
    triggerRender();
}

void SlideFlow::paintEvent(QPaintEvent*)
{
    d->renderer->present();
}

void SlideFlow::resizeEvent(QResizeEvent* event)
{
    triggerRender();
    QWidget::resizeEvent(event);
}

void SlideFlow::keyPressEvent(QKeyEvent* event)
{
    const bool controlOnly = event->modifiers() == Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    case Qt::Key_Up:
        // The flow is shown turned a quarter turn: Up points to higher indexes.
        if (controlOnly)
            showSlide(centerIndex() + 10);
        else
            showNext();
        event->accept();
        return;
    case Qt::Key_Down:
        if (controlOnly)
            showSlide(centerIndex() - 10);
        else
            showPrevious();
        event->accept();
        return;
    default:
        event->ignore();
        return;
    }
}

void SlideFlow::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (p.x() <= 24 && p.y() <= 24)
        close();
    if (p.y() > height() / 2)
        showNext();
    else
        showPrevious();
}

void SlideFlow::focusOutEvent(QFocusEvent*)
{
    close();
}
