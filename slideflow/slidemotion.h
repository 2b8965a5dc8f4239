#pragma once
// The motion of the slide flow: a 16.16 position that glides from slide to
// slide in 30 ms steps, rewriting the stage's poses at every step.

#include <QTimer>

class SlideStage;

class SlideMotion
{
public:
    SlideMotion();
    ~SlideMotion();
    SlideMotion(const SlideMotion&) = delete;
    SlideMotion& operator=(const SlideMotion&) = delete;

    // Aims at a slide; starts moving when at rest.
    void startTowards(int slide);
    // Stops and parks the position on a slide.
    void halt(int slide);
    // One step of the motion.
    void advance();

    bool isMoving() const { return stepTimer.isActive(); }

    SlideStage* stage = nullptr; // not owned
    int targetIndex = 0;
    int direction = 0;
    int position = 0; // 16.16: slide index and the way toward the next
    QTimer stepTimer;
};
