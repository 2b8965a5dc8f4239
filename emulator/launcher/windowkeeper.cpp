#include "windowkeeper.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

constexpr uint32_t kInputHintFlag = 1;   // WM_HINTS flags: the input field is set

// The 32-bit values of the window property the server answers `cookie` with.
QList<uint32_t> values32(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    QList<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
        for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
            values << v[i];
    }
    return values;
}

// The events the keeper wants of a window it keeps.
constexpr uint32_t kKeptWindowEvents = XCB_EVENT_MASK_FOCUS_CHANGE;

} // namespace

WindowKeeper::WindowKeeper(QObject* parent) : QObject(parent) {}

WindowKeeper::~WindowKeeper()
{
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

uint32_t WindowKeeper::atom(const char* name)
{
    const auto cookie = xcb_intern_atom(m_connection, 0, uint16_t(qstrlen(name)), name);
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool WindowKeeper::attach(const QString& display, QString* why)
{
    int screenNumber = 0;
    m_connection = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        *why = QStringLiteral("cannot reach the X server %1").arg(display);
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_screenArea = uint32_t(screens.data->width_in_pixels) * screens.data->height_in_pixels;

    const uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const auto cookie =
        xcb_change_window_attributes_checked(m_connection, m_root, XCB_CW_EVENT_MASK, &rootEvents);
    if (XcbReply<xcb_generic_error_t> error{xcb_request_check(m_connection, cookie)}) {
        *why = QStringLiteral("another window manager runs on %1").arg(display);
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return false;
    }
    m_wmHints = atom("WM_HINTS");
    m_netWmState = atom("_NET_WM_STATE");
    m_stateBelow = atom("_NET_WM_STATE_BELOW");
    m_windowType = atom("_NET_WM_WINDOW_TYPE");
    m_typeNormal = atom("_NET_WM_WINDOW_TYPE_NORMAL");

    // Windows already up are kept as they stand.
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr));
            if (!attributes || attributes->override_redirect
                || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            Kept kept = describe(children[i]);
            kept.mapped = true;
            xcb_change_window_attributes(m_connection, kept.window, XCB_CW_EVENT_MASK, &kKeptWindowEvents);
            m_windows.append(kept);
        }
    }
    restack();
    focusTop();

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WindowKeeper::readEvents);
    readEvents();
    return true;
}

void WindowKeeper::readEvents()
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
        XcbReply<xcb_generic_event_t> event(raw);
        switch (event->response_type & 0x7f) {
        case XCB_MAP_REQUEST:
            mapRequested(reinterpret_cast<xcb_map_request_event_t*>(raw)->window);
            break;
        case XCB_CONFIGURE_REQUEST:
            configureRequested(reinterpret_cast<xcb_configure_request_event_t*>(raw));
            break;
        case XCB_UNMAP_NOTIFY:
            unmapped(reinterpret_cast<xcb_unmap_notify_event_t*>(raw)->window);
            break;
        case XCB_DESTROY_NOTIFY:
            destroyed(reinterpret_cast<xcb_destroy_notify_event_t*>(raw)->window);
            break;
        case XCB_FOCUS_IN: {
            const auto* focus = reinterpret_cast<xcb_focus_in_event_t*>(raw);
            // Grabs (a popup's) move the keys only for a while; "pointer"
            // is the pointer's window while nobody has the keys.
            if ((focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED)
                && focus->detail != XCB_NOTIFY_DETAIL_POINTER)
                focusedIn(focus->event);
            break;
        }
        default:
            break;   // errors (a window gone meanwhile) and the rest
        }
    }
    xcb_flush(m_connection);
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false);   // the screen ended; the launcher stops
}

WindowKeeper::Kept WindowKeeper::describe(uint32_t window)
{
    Kept kept;
    kept.window = window;
    const auto hintsCookie = xcb_get_property(m_connection, 0, window, m_wmHints, m_wmHints, 0, 9);
    const auto stateCookie = xcb_get_property(m_connection, 0, window, m_netWmState, XCB_ATOM_ATOM, 0, 32);
    const auto typeCookie = xcb_get_property(m_connection, 0, window, m_windowType, XCB_ATOM_ATOM, 0, 1);
    const auto ownerCookie =
        xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1);
    const auto geometryCookie = xcb_get_geometry(m_connection, window);

    const QList<uint32_t> hints = values32(m_connection, hintsCookie);   // flags, input, ...
    if (hints.size() >= 2 && (hints.at(0) & kInputHintFlag))
        kept.takesKeys = hints.at(1) != 0;
    const bool below = values32(m_connection, stateCookie).contains(m_stateBelow);
    // A plain window: of the normal type (or none), nobody's dialog.
    const QList<uint32_t> types = values32(m_connection, typeCookie);
    const bool plain = (types.isEmpty() || types.first() == m_typeNormal)
                       && values32(m_connection, ownerCookie).isEmpty();
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(m_connection, geometryCookie, nullptr));
    const bool small = geometry && 4 * uint32_t(geometry->width) * geometry->height < m_screenArea;
    // A small plain window is a label whatever its hints say: DayBadge 2.x
    // shows a bare QLabel, and a label must never take the keys from the
    // application it stands beside.
    if (plain && small)
        kept.takesKeys = false;
    kept.layer = below ? Layer::Below : kept.takesKeys ? Layer::Normal : Layer::Label;
    return kept;
}

int WindowKeeper::indexOf(uint32_t window) const
{
    for (int i = 0; i < m_windows.size(); ++i)
        if (m_windows.at(i).window == window)
            return i;
    return -1;
}

void WindowKeeper::moveInLayer(int index, bool toTop)
{
    // The order within a layer is the keeper's list order; layers are kept
    // apart when the stack is made.
    m_windows.move(index, toTop ? m_windows.size() - 1 : 0);
}

void WindowKeeper::mapRequested(uint32_t window)
{
    Kept kept = describe(window);
    int index = indexOf(window);
    if (index < 0) {
        xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &kKeptWindowEvents);
        m_windows.append(kept);
        index = m_windows.size() - 1;
    } else {
        m_windows[index].layer = kept.layer;
        m_windows[index].takesKeys = kept.takesKeys;
    }
    moveInLayer(index, true);
    // Into its place first, then shown: no flash of it over what should cover it.
    restack(window);
    xcb_map_window(m_connection, window);
    m_windows.last().mapped = true;
    focusTop();
}

void WindowKeeper::configureRequested(const xcb_configure_request_event_t* e)
{
    // Position and size as asked, in the order of the mask's bits.
    uint32_t values[5];
    uint16_t mask = 0;
    int n = 0;
    const struct
    {
        uint16_t bit;
        uint32_t value;
    } fields[] = {{XCB_CONFIG_WINDOW_X, uint32_t(int32_t(e->x))},
                  {XCB_CONFIG_WINDOW_Y, uint32_t(int32_t(e->y))},
                  {XCB_CONFIG_WINDOW_WIDTH, e->width},
                  {XCB_CONFIG_WINDOW_HEIGHT, e->height},
                  {XCB_CONFIG_WINDOW_BORDER_WIDTH, e->border_width}};
    for (const auto& f : fields)
        if (e->value_mask & f.bit) {
            mask |= f.bit;
            values[n++] = f.value;
        }
    if (mask)
        xcb_configure_window(m_connection, e->window, mask, values);
    // Raising and lowering move a window within its layer only.
    const int index = indexOf(e->window);
    if ((e->value_mask & XCB_CONFIG_WINDOW_STACK_MODE) && index >= 0
        && (e->stack_mode == XCB_STACK_MODE_ABOVE || e->stack_mode == XCB_STACK_MODE_BELOW)) {
        moveInLayer(index, e->stack_mode == XCB_STACK_MODE_ABOVE);
        restack();
    }
}

void WindowKeeper::unmapped(uint32_t window)
{
    const int index = indexOf(window);
    if (index < 0 || !m_windows.at(index).mapped)
        return;
    m_windows[index].mapped = false;
    focusTop();
}

void WindowKeeper::destroyed(uint32_t window)
{
    const int index = indexOf(window);
    if (index < 0)
        return;
    const bool wasMapped = m_windows.at(index).mapped;
    m_windows.removeAt(index);
    if (wasMapped)
        focusTop();
}

void WindowKeeper::focusedIn(uint32_t window)
{
    const int index = indexOf(window);
    if (index < 0 || !m_windows.at(index).mapped || window == topKeyWindow())
        return;
    if (m_windows.at(index).layer == Layer::Normal) {
        // It asked for the keys itself (a window brought back, a dialog's
        // owner after the dialog): it comes to the top as well.
        moveInLayer(index, true);
        restack();
    } else {
        // The idle screen or a label under an application never keeps them.
        focusTop();
    }
}

uint32_t WindowKeeper::topKeyWindow() const
{
    for (Layer layer : {Layer::Normal, Layer::Label, Layer::Below})
        for (int i = m_windows.size() - 1; i >= 0; --i) {
            const Kept& k = m_windows.at(i);
            if (k.layer == layer && k.mapped && k.takesKeys)
                return k.window;
        }
    return 0;
}

void WindowKeeper::focusTop()
{
    const uint32_t window = topKeyWindow();
    if (!window)
        return;
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
}

void WindowKeeper::restack(uint32_t alsoUnmapped)
{
    QList<uint32_t> wanted;
    for (Layer layer : {Layer::Below, Layer::Label, Layer::Normal})
        for (const Kept& k : std::as_const(m_windows))
            if (k.layer == layer && (k.mapped || k.window == alsoUnmapped))
                wanted << k.window;
    if (wanted.isEmpty())
        return;
    // Nothing to do when they already stand in that order.
    QList<uint32_t> current;
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            if (wanted.contains(children[i]))
                current << children[i];
    }
    if (current == wanted)
        return;
    const uint32_t bottom = XCB_STACK_MODE_BELOW;
    xcb_configure_window(m_connection, wanted.first(), XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
    for (int i = 1; i < wanted.size(); ++i) {
        const uint32_t values[] = {wanted.at(i - 1), XCB_STACK_MODE_ABOVE};
        xcb_configure_window(m_connection, wanted.at(i),
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
}

QSize displaySize(const QString& display)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
    QSize size;
    if (!xcb_connection_has_error(connection)) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem > 0)
            size = QSize(screens.data->width_in_pixels, screens.data->height_in_pixels);
    }
    xcb_disconnect(connection);
    return size;
}
