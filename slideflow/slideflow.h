#pragma once
// SlideFlow: a row of pictures shown in perspective, one facing the viewer and
// up to six turned away on each side, each with a fading reflection.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QWidget>

class FlowInternals;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class SlideStage;
class SlideMotion;
class RasterRenderer;

class SlideFlow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QSize slideSize READ slideSize WRITE setSlideSize)
    Q_PROPERTY(int slideCount READ slideCount)
    Q_PROPERTY(int centerIndex READ centerIndex WRITE setCenterIndex)

public:
    explicit SlideFlow(QWidget* parent = nullptr);
    ~SlideFlow() override;

    QColor backgroundColor() const;
    void setBackgroundColor(const QColor& c);
    QSize slideSize() const;
    // Each side is held to 1..kMaxSlideSide pixels.
    void setSlideSize(QSize size);
    int slideCount() const;
    int centerIndex() const;
    // A copy of a slide's picture; null outside the list or for an empty entry.
    QImage slideImage(int index) const;

    static constexpr int kMaxSlideSide = 1024;

    // Takes a slide out of the list without leaving a gap. The picture that
    // stands in the centre stays there (the centre index follows it); when
    // the centre slide itself goes, the neighbour toward the middle of the
    // list takes its place.
    void removeSlide(int index);

    // A short line shown on the background in the middle of the frame (for
    // a folder without pictures); empty for none.
    void setNotice(const QString& text);
    QString notice() const;

    // The parts behind the widget, for tests and benchmarks.
    SlideStage& stage() const;
    SlideMotion& motion() const;
    RasterRenderer& renderer() const;

public slots:
    void addSlide(const QImage& image);
    void addSlide(const QPixmap& pixmap);
    void setSlide(int index, const QImage& image);
    void setSlide(int index, const QPixmap& pixmap);
    void setCenterIndex(int index);
    void clear();
    void showPrevious();
    void showNext();
    void showSlide(int index);
    void render();
    void triggerRender();
    void updateAnimation();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    FlowInternals* d;
};
