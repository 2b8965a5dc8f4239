#pragma once
// Scrolling with a finger, as on a touch screen: a press that moves more
// than a few pixels drags the content of a scroll area (a list, a long text)
// instead of selecting text or marking rows, and a flick goes on by itself,
// slowing down. A tap (press and release in place) reaches the widget as a
// click, unchanged.

class QAbstractScrollArea;

// Gives `area` drag and flick scrolling for the life of the area.
void enableDragScrolling(QAbstractScrollArea* area);
