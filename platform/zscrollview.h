#pragma once
// ZScrollView: the platform's scrolling content area.
//
// Children are placed at fixed positions on the view's contents with
// addChild(widget, x, y); the contents grow to hold every child (and never
// shrink below the visible area), and the view scrolls when they are larger
// than what it shows. viewport() is the contents widget, the parent that
// children are created on.

#include <QScrollArea>

class ZScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit ZScrollView(QWidget* parent = nullptr, const char* name = nullptr,
                         Qt::WindowFlags f = {});
    ~ZScrollView() override;

    // The widget that holds the children (not QAbstractScrollArea's viewport).
    QWidget* viewport() const;

    // Makes `child` a child of the contents and moves it to (x, y).
    void addChild(QWidget* child, int x = 0, int y = 0);
    void moveChild(QWidget* child, int x, int y);

    // Children are always clipped to the visible area; the flag is kept for
    // callers that ask.
    void enableClipper(bool on);
    bool clipperEnabled() const { return m_clipper; }

    // Scrolls so that the widget (a child of the contents) is visible.
    void ensureChildVisible(QWidget* child);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateContentsSize();

    QWidget* m_contents;
    bool m_clipper = false;
    bool m_updating = false;
};
