#pragma once
// Readers for pictures too large to decode whole: the rows of a BMP, the
// strips or tiles of a TIFF, each averaged down as they arrive, so that a
// picture of any size takes a few rows' worth of memory. Used where Qt's own
// readers would need the whole picture (and refuse one past their
// allocation limit).

#include <QImage>
#include <QSize>

class PixelBudget;
class QIODevice;

// An uncompressed BMP (1-, 4-, 8-, 16-, 24- or 32-bit, bit fields too)
// reduced to fit within `box`. Null for an RLE-compressed or broken one.
// `complete` (when given) is false when the file ends before its last row;
// the missing rows are then black.
QImage readBmpReduced(QIODevice* device, QSize box, QSize* fullSize = nullptr, bool* complete = nullptr);

// A TIFF's first page reduced to fit within `box` (the box meant for the
// picture as shown: its orientation tag is applied). Strips or tiles are
// read a band at a time through libtiff, every colour model libtiff knows;
// a picture stored as one huge compressed strip is read line by line where
// its samples are plain grey, RGB or palette. Each band's buffer is held
// under `budget`. Null when libtiff cannot read it within those bounds.
QImage readTiffReduced(QIODevice* device, QSize box, PixelBudget* budget = nullptr,
                       QSize* fullSize = nullptr, bool* complete = nullptr);

// The width and height a TIFF declares, without decoding it (invalid when
// the header does not read).
QSize tiffSize(QIODevice* device);
