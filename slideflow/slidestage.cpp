#include "slidestage.h"

#include "fixedpoint.h"

SlideStage::~SlideStage()
{
    releaseImages();
}

void SlideStage::releaseImages()
{
    for (QImage* img : images)
        delete img;
    images.clear();
    images.squeeze();
}

void SlideStage::computeGeometry()
{
    tilt = 199; // about 70 degrees
    sideGap = 40;
    const int half = slideW / 2;
    sideOffsetX = slideW * 1024 + half * (1024 - cosineFixed(199));
    sideOffsetZ = slideW * 256 + half * sineFixed(199);
}

void SlideStage::resetPoses()
{
    centerPose = SlidePose{centerIndex, 0, 0, 0, 256};
    constexpr int kSideCount = 6;
    leftPoses.resize(kSideCount);
    rightPoses.resize(kSideCount);
    for (int i = 0; i < kSideCount; ++i) {
        // The fifth slide out shows at half strength, the sixth not at all:
        // it is laid out (and its surface built) so that it is ready to move in.
        const int opacity = i == 4 ? 128 : (i == 5 ? 0 : 256);
        const int offset = sideOffsetX + i * sideGap * 1024;
        leftPoses[i] = SlidePose{centerIndex - 1 - i, tilt, -offset, sideOffsetZ, opacity};
        rightPoses[i] = SlidePose{centerIndex + 1 + i, -tilt, offset, sideOffsetZ, opacity};
    }
}
