#pragma once
// The model of the slide flow: the slide images it owns, the layout constants
// and the placement of every visible slide.

#include <QImage>
#include <QRgb>
#include <QVector>

// Placement of one visible slide. x and z are fixed values, angle in angle
// units (positive left of the centre), opacity 0..256.
struct SlidePose
{
    int index = 0;
    int angle = 0;
    int x = 0;
    int z = 0;
    int opacity = 256;
};

class SlideStage
{
public:
    SlideStage() = default;
    ~SlideStage();
    SlideStage(const SlideStage&) = delete;
    SlideStage& operator=(const SlideStage&) = delete;

    // Layout constants from slideW: tilt, sideGap, sideOffsetX, sideOffsetZ.
    void computeGeometry();
    // Every pose at rest around centerIndex: six on each side.
    void resetPoses();

    int slideCount() const { return images.size(); }
    // Releases every image; the array is left empty.
    void releaseImages();

    QRgb backgroundRgb = 0;
    int slideW = 150;
    int slideH = 200;
    QVector<QImage*> images; // owned; an entry may be null
    int tilt = 0;
    int sideGap = 0;
    int sideOffsetX = 0;
    int sideOffsetZ = 0;
    SlidePose centerPose;
    QVector<SlidePose> leftPoses;
    QVector<SlidePose> rightPoses;
    int centerIndex = 0;
};
