#pragma once
// ZPushButton: the platform's push button, in one of its styles.
//
// Styles used by the programs:
//   0  a small picture button (the picture of a stock resource)
//   5  right soft key (exit), 6 left soft key (menu), 7 middle soft key (text)
//   9  dialog soft key that cancels (right), 10 dialog soft key that accepts (left)
// Any other style is an ordinary push button. Soft keys take no keyboard focus:
// they are pressed with F1, F2 and Return through their window (ZMainWidget,
// ZBaseDialog). A focused button is pressed with Return, Enter or Space.

#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include <QMenu>

class ZPushButton : public QPushButton
{
    Q_OBJECT
public:
    enum Style : int {
        PictureStyle = 0,
        SoftKeyRight = 5,
        SoftKeyLeft = 6,
        SoftKeyMiddle = 7,
        DialogCancel = 9,
        DialogAccept = 10,
    };

    // A button drawn from the stock resource `resourceName` (see stockicons.h).
    // A width or height of -1 means "as the picture needs".
    ZPushButton(const QString& resourceName, QWidget* parent, int style = 0, int w = -1,
                int h = -1);
    // A button that shows the text set with setText().
    explicit ZPushButton(QWidget* parent, int style = 0, int w = -1, int h = -1);
    ~ZPushButton() override;

    // The text as written: an "&" in it is no keyboard shortcut.
    void setText(const QString& text);

    int style() const { return m_style; }
    QString resourceName() const { return m_resource; }
    bool isSoftKey() const;

    // Pressing the button pops the menu up above it.
    void setPopup(QMenu* menu);
    QMenu* popup() const { return m_popup; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void init(int w, int h);
    void showPopup();

    int m_style;
    QString m_resource;
    QPixmap m_picture;
    QPointer<QMenu> m_popup;
};
