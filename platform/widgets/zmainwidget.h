#pragma once
// ZMainWidget: the platform's phone-style main window.
//
// Three stacked areas: a title strip showing the caption at the top, a content
// area (a ZScrollView, made on request) and a soft-key strip (the CST bar, made
// on request) at the bottom. Shown as a window it takes the phone screen
// (ZGlobal::getScreenR()); used as a child it fills whatever geometry it is
// given, the title first, the soft keys at the bottom, the content between.
//
// Keys: F1 presses the leftmost key of the soft-key strip, F2 the rightmost,
// Return and Enter the middle one (when the focused control does not take the
// key itself); Up and Down that no control takes move the focus.

#include <QWidget>

class QLabel;
class ZPushButton;
class ZScrollView;

class ZMainWidget : public QWidget
{
    Q_OBJECT
public:
    ZMainWidget(const QString& caption, bool editMode, QWidget* parent = nullptr,
                const char* name = nullptr, Qt::WindowFlags f = {});
    ZMainWidget(bool editMode, QWidget* parent = nullptr, const char* name = nullptr,
                Qt::WindowFlags f = {});
    ~ZMainWidget() override;

    // The content area; made when `create` is true and there is none yet.
    virtual ZScrollView* getContentWidget(bool create);
    // The soft-key strip; made when `create` is true and there is none yet.
    virtual QWidget* getCSTWidget(bool create);

    // The title strip's widget (never null).
    QWidget* getTitleBarWidget() const;

    QString caption() const;
    void setCaption(const QString& caption);
    bool editMode() const { return m_editMode; }

    // The keys of the soft-key strip, by position (null when absent).
    ZPushButton* leftSoftKey() const;
    ZPushButton* middleSoftKey() const;
    ZPushButton* rightSoftKey() const;

protected:
    // A window not placed by its caller covers the phone's screen, and takes
    // the keyboard, however it is shown (show(), setVisible(), through a
    // QWidget pointer), unless it is shown without activating
    // (Qt::WA_ShowWithoutActivating).
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void init(const QString& caption, bool editMode, const char* name);
    void layoutAreas();
    void showCaption();

    QString m_caption;
    QLabel* m_title = nullptr;
    ZScrollView* m_content = nullptr;
    QWidget* m_cst = nullptr;
    bool m_editMode = false;
};

// Helpers shared by the platform's windows and dialogs: the soft keys of a
// strip ordered left to right, and pressing one from a key event.
namespace zsoftkeys {
QList<ZPushButton*> keysOf(const QWidget* strip);
// Handles F1/F2 (left and right key) and, when `withMiddle`, Return/Enter
// (middle key of a three-key strip). True when a key was pressed.
bool press(const QWidget* strip, int key, bool withMiddle);
} // namespace zsoftkeys
