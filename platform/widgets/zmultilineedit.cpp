#include "zmultilineedit.h"

#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>

ZMultiLineEdit::ZMultiLineEdit(QWidget* parent, const char* name)
    : QPlainTextEdit(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    QFont f = font();
    f.setPixelSize(13);
    setFont(f);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    document()->setDocumentMargin(2);
    updateLook();
    resize(sizeHint());
    document()->setModified(false);
}

ZMultiLineEdit::~ZMultiLineEdit() = default;

QString ZMultiLineEdit::text() const
{
    return toPlainText();
}

void ZMultiLineEdit::setText(const QString& text)
{
    const bool modified = document()->isModified();
    setPlainText(text);
    document()->setModified(modified);
}

void ZMultiLineEdit::setEdited(bool edited)
{
    document()->setModified(edited);
}

bool ZMultiLineEdit::edited() const
{
    return document()->isModified();
}

void ZMultiLineEdit::setReadOnly(bool readOnly)
{
    QPlainTextEdit::setReadOnly(readOnly);
    updateLook();
}

void ZMultiLineEdit::setFixedLines(int lines)
{
    m_lines = qMax(1, lines);
    resize(width(), heightForLines(m_lines));
    updateGeometry();
}

int ZMultiLineEdit::heightForLines(int lines) const
{
    const int margin = int(document()->documentMargin());
    return lines * fontMetrics().lineSpacing() + 2 * margin + 2 * frameWidth() + 2;
}

QSize ZMultiLineEdit::sizeHint() const
{
    return QSize(qMax(minimumWidth(), 120), heightForLines(m_lines));
}

QSize ZMultiLineEdit::minimumSizeHint() const
{
    return QSize(minimumWidth(), heightForLines(m_lines));
}

void ZMultiLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    // Up and Down walk the lines; on the first line Up and on the last Down
    // leave the field: the window moves the focus on.
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        && event->modifiers() == Qt::NoModifier) {
        QTextCursor moved = textCursor();
        moved.clearSelection();
        if (!moved.movePosition(event->key() == Qt::Key_Up ? QTextCursor::Up : QTextCursor::Down)) {
            event->ignore();
            return;
        }
        if (isReadOnly()) {
            // A read-only field would only scroll, its cursor left behind on
            // a line that never reaches the edge.
            setTextCursor(moved);
            ensureCursorVisible();
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ZMultiLineEdit::showEvent(QShowEvent* event)
{
    QPlainTextEdit::showEvent(event);
    ensureCursorVisible();
}

void ZMultiLineEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    // The cursor's line stays in view: a long name being renamed shows where
    // the cursor is, not its first lines.
    ensureCursorVisible();
}

void ZMultiLineEdit::updateLook()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, isReadOnly() ? QColor(232, 234, 238) : Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
}
