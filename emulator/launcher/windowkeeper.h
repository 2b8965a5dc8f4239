#pragma once
// The window manager the phone's screen lacks.
//
// The phone's window server puts a new window on top and gives it the keys.
// A bare X server (the nested Xephyr, a private Xvfb) does neither: a window
// keeps the place in the stack it had when it was made, and the keys go to
// whichever program last asked for them. At boot the idle screen, the menu,
// the label of DayBadge and the applications of the start-at-boot list all
// come up at once, so which of them had the keys, and which stood on top,
// depended on who drew last.
//
// The keeper holds the screen's root window (SubstructureRedirect), so every
// top-level window is mapped, moved and restacked through it, in three
// layers, bottom to top:
//   - windows that ask to stay below the others (_NET_WM_STATE_BELOW, the
//     idle screen);
//   - labels: windows that take no keys (WM_HINTS input False, as Qt sets
//     it for Qt::WindowDoesNotAcceptFocus), and plain windows (neither a
//     dialog nor another window's) that cover less than a quarter of the
//     screen, such as DayBadge 2.x's label of 240 x 20;
//   - all others: the menu, the applications and their dialogs.
// A window of the last layer comes up on top of it with the keys. When a
// window goes, the keys go to the topmost window left that takes them. A
// window of the last layer that takes the keys by itself is raised to the
// top; when a window below that layer takes them while one of that layer is
// up, the keeper gives them back. Popups and tooltips (override-redirect) are
// not kept.

#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>

struct xcb_connection_t;
struct xcb_configure_request_event_t;
class QSocketNotifier;

class WindowKeeper : public QObject
{
    Q_OBJECT
public:
    explicit WindowKeeper(QObject* parent = nullptr);
    ~WindowKeeper() override;

    // Connects to the X server `display` and takes the window manager's part;
    // false (with `why` set) when the server cannot be reached or another
    // window manager runs there.
    bool attach(const QString& display, QString* why);

private:
    enum class Layer { Below, Label, Normal };

    struct Kept
    {
        uint32_t window = 0;
        Layer layer = Layer::Normal;
        bool takesKeys = true;
        bool mapped = false;
    };

    void readEvents();
    void mapRequested(uint32_t window);
    void configureRequested(const xcb_configure_request_event_t* event);
    void unmapped(uint32_t window);
    void destroyed(uint32_t window);
    void focusedIn(uint32_t window);

    Kept describe(uint32_t window);
    int indexOf(uint32_t window) const;
    // Moves the window to the top (or bottom) of its layer in the keeper's order.
    void moveInLayer(int index, bool toTop);
    // Puts the mapped windows into the keeper's order on the screen.
    void restack(uint32_t alsoUnmapped = 0);
    // Gives the keys to the topmost mapped window that takes them.
    void focusTop();
    uint32_t topKeyWindow() const;
    uint32_t atom(const char* name);

    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
    QSocketNotifier* m_notifier = nullptr;
    QList<Kept> m_windows;   // in the order they were raised; layers apart when stacked
    uint32_t m_screenArea = 0;
    uint32_t m_wmHints = 0, m_netWmState = 0, m_stateBelow = 0, m_windowType = 0, m_typeNormal = 0;
};

// The size in pixels of the default screen of the X display `display`; an
// empty size when it cannot be reached.
QSize displaySize(const QString& display);
