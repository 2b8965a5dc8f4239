#include "slidemotion.h"

#include "fixedpoint.h"
#include "slidestage.h"

namespace {
constexpr int kStepMs = 30;
}

SlideMotion::SlideMotion()
{
    stepTimer.setSingleShot(false);
    stepTimer.setInterval(kStepMs);
}

SlideMotion::~SlideMotion() = default;

void SlideMotion::startTowards(int slide)
{
    targetIndex = slide;
    if (stepTimer.isActive())
        return;
    if (!stage)
        return;
    direction = slide < stage->centerPose.index ? -1 : 1;
    stepTimer.start(kStepMs);
}

void SlideMotion::halt(int slide)
{
    direction = 0;
    position = int(uint32_t(slide) << 16);
    targetIndex = slide;
    stepTimer.stop();
}

void SlideMotion::advance()
{
    if (!stepTimer.isActive() || direction == 0 || !stage)
        return;
    SlideStage& s = *stage;

    // Easing: a quarter sine wave from fast (two slides or more away) down to
    // a crawl at the target.
    const int target = int(uint32_t(targetIndex) << 16);
    const int d = sub32(position, target);
    const int fi = (d > 131072 || d < -131072) ? 131072 : (d < 0 ? -d : d);
    const int ia = (1024 * fi - 67108864) / 262144;
    const int speed = 16896 + 16 * sineFixed(ia);

    position = add32(position, speed * direction);

    int index = position >> 16;
    const int pos = position & 0xFFFF;
    const int neg = 65536 - pos;
    const int tick = direction < 0 ? neg : pos;
    const int ftick = (tick * 1024) >> 16;
    if (direction < 0)
        index += 1;

    if (s.centerIndex != index) {
        s.centerIndex = index;
        position = int(uint32_t(index) << 16);
        s.centerPose.index = index;
        for (int i = 0; i < s.leftPoses.size(); ++i)
            s.leftPoses[i].index = index - 1 - i;
        for (int i = 0; i < s.rightPoses.size(); ++i)
            s.rightPoses[i].index = index + 1 + i;
    }

    s.centerPose.angle = (direction * tick * s.tilt) >> 16;
    s.centerPose.x = -direction * mulFixed(s.sideOffsetX, ftick);
    s.centerPose.z = mulFixed(s.sideOffsetZ, ftick);

    if (s.centerIndex == targetIndex) {
        halt(targetIndex);
        s.resetPoses();
        return;
    }

    const int gap = s.sideGap * 1024;
    for (int i = 0; i < s.leftPoses.size(); ++i) {
        SlidePose& p = s.leftPoses[i];
        p.angle = s.tilt;
        p.x = -(s.sideOffsetX + i * gap + direction * s.sideGap * ftick);
        p.z = s.sideOffsetZ;
    }
    for (int i = 0; i < s.rightPoses.size(); ++i) {
        SlidePose& p = s.rightPoses[i];
        p.angle = -s.tilt;
        p.x = s.sideOffsetX + i * gap - direction * s.sideGap * ftick;
        p.z = s.sideOffsetZ;
    }

    // The neighbour that turns in toward the centre.
    if (direction > 0 && !s.rightPoses.isEmpty()) {
        const int ftick2 = (neg * 1024) >> 16;
        SlidePose& p = s.rightPoses[0];
        p.angle = (-(neg * s.tilt)) >> 16;
        p.x = mulFixed(s.sideOffsetX, ftick2);
        p.z = mulFixed(s.sideOffsetZ, ftick2);
    } else if (direction < 0 && !s.leftPoses.isEmpty()) {
        const int ftick2 = (pos * 1024) >> 16;
        SlidePose& p = s.leftPoses[0];
        p.angle = (pos * s.tilt) >> 16;
        p.x = -mulFixed(s.sideOffsetX, ftick2);
        p.z = mulFixed(s.sideOffsetZ, ftick2);
    }

    // Turning back when the target now lies behind.
    if (targetIndex < index && direction > 0)
        direction = -1;
    if (targetIndex > index && direction < 0)
        direction = 1;

    // The outer slides fade in on the side the row moves toward and out on
    // the other.
    const int fade = pos >> 8;
    const int half = fade / 2;
    const int nl = s.leftPoses.size();
    const int nr = s.rightPoses.size();
    for (int k = 0; k < nl; ++k) {
        int o = 256;
        if (direction > 0) {
            if (k == nl - 1) o = 0;
            else if (k == nl - 2) o = 128 - half;
            else if (k == nl - 3) o = 256 - half;
        } else {
            if (k == nl - 1) o = 128 - half;
            else if (k == nl - 2) o = 256 - half;
        }
        s.leftPoses[k].opacity = o;
    }
    for (int k = 0; k < nr; ++k) {
        int o = k < nr - 2 ? 256 : 128;
        if (direction > 0) {
            if (k == nr - 1) o = half;
            else if (k == nr - 2) o = 128 + half;
            else if (k == nr - 3) o = 256;
        } else {
            if (k == nr - 1) o = 0;
            else if (k == nr - 2) o = half;
            else if (k == nr - 3) o = 128 + half;
        }
        s.rightPoses[k].opacity = o;
    }
}
