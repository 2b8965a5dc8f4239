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

// Marks the field that has the keyboard focus in `window` with a frame in the
// phone's blue, over whatever the field draws itself: the joystick is all a
// phone user has, and the toolkit's own dotted focus lines are hard to see.
// Widgets that show their focus themselves (lists, the application list's
// entries) carry the property "ownFocusLook" and get no frame. The marker
// belongs to `window`.
void markKeyboardFocus(QWidget* window);

// `text` for a button, check box or menu entry that must show it as written:
// every "&" doubled, which these widgets show as one "&" and never take for a
// keyboard shortcut.
QString withLiteralAmpersands(const QString& text);
