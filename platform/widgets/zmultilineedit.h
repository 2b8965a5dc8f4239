#pragma once
// ZMultiLineEdit: the platform's text field.
//
// A plain-text field that wraps long text anywhere and is as tall as the
// number of lines it is set to show (one unless told otherwise with
// setFixedLines). It takes no line breaks from the keyboard: Return and Enter
// go to the window (the middle key or the dialog's accepting key), and so do
// Up on the first line and Down on the last; Up and Down walk the lines of a
// read-only field as well. The cursor's line is kept in view. A read-only
// field is drawn on grey.

#include <QPlainTextEdit>

class ZMultiLineEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit ZMultiLineEdit(QWidget* parent = nullptr, const char* name = nullptr);
    ~ZMultiLineEdit() override;

    QString text() const;
    void setText(const QString& text);

    // The "edited" mark (the document's modified flag).
    void setEdited(bool edited);
    bool edited() const;

    void setReadOnly(bool readOnly);

    // The number of text lines the field shows; its height follows.
    void setFixedLines(int lines);
    int fixedLines() const { return m_lines; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int heightForLines(int lines) const;
    void updateLook();

    int m_lines = 1;
};
