#pragma once
// The look the platform's windows and dialogs share, kept in one place.

#include <QString>

class QTextEdit;
class QWidget;

// Style sheet of a title strip: white bold text on the blue gradient, for the
// QLabel with the given object name.
QString titleStripStyleSheet(const QString& objectName, int fontPixels);

// The soft-key strip at the foot of a window or dialog: an empty widget with
// the given object name on the dark gradient, for the caller to fill.
QWidget* createSoftKeyStrip(QWidget* parent, const QString& objectName);

// A read-only text view that shows `text` as typed (never as markup), wrapped
// at word boundaries or anywhere, without focus or a horizontal scroll bar.
QTextEdit* createPlainTextView(QWidget* parent, const QString& objectName, const QString& text);
