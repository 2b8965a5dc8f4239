#pragma once
// ZScrollView: the platform's scrolling content area.
//
// Children are placed at fixed positions on the view's contents with
// addChild(widget, x, y); the contents grow to hold every child (and never
// shrink below the visible area), and the view scrolls when they are larger
// than what it shows. viewport() is the contents widget, the parent that
// children are created on.
//
// The view never scrolls by itself on a key: the arrow keys belong to the
// fields inside and, past their edges, to the window that moves the focus.
// It scrolls only to bring the focused field into view, and only up and down
// (a child wider than what shows is never shifted sideways, which would cut
// off its left edge).

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

    // Scrolls up or down so that the widget (anywhere inside the contents) is
    // visible; one taller than the view shows its top.
    void ensureChildVisible(QWidget* child);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateContentsSize();

    QWidget* m_contents;
    bool m_clipper = false;
    bool m_updating = false;
};
