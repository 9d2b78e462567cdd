#include "X11DesktopWindows.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

// Replies and errors are owned by xcb's malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

bool contains(const xcb_ewmh_get_atoms_reply_t& atoms, xcb_atom_t atom) {
    return std::find(atoms.atoms, atoms.atoms + atoms.atoms_len, atom) != atoms.atoms + atoms.atoms_len;
}

} // namespace

struct X11DesktopWindows::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screen = 0;
    xcb_window_t root = XCB_NONE;
    xcb_atom_t opacity = XCB_NONE;

    ~Connection() {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (xcb)
            xcb_disconnect(xcb);
    }

    // Errors of requests sent without a reply (the activation message) arrive as events; nothing
    // reads events on this connection, so they are thrown away here to keep the queue empty.
    void drainEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(xcb))
            std::free(event);
    }
};

namespace {

// Everything the list needs about one client window, asked for in one batch of requests.
struct ClientFacts {
    xcb_window_t window = XCB_NONE;
    bool viewable = false;
    bool hidden = false;
    bool desktop = false;
    std::optional<std::uint32_t> pid;
    int layer = DesktopWindows::normalLayer;
    std::optional<double> alpha;
    bool hasBounds = false;
    int x = 0, y = 0, width = 0, height = 0;
};

int layerOf(const xcb_ewmh_connection_t& ewmh, const xcb_ewmh_get_atoms_reply_t* types,
            const xcb_ewmh_get_atoms_reply_t* states) {
    int layer = DesktopWindows::normalLayer;
    if (types) {
        if (contains(*types, ewmh._NET_WM_WINDOW_TYPE_DOCK))
            layer = DesktopWindows::dockLayer;
        else if (contains(*types, ewmh._NET_WM_WINDOW_TYPE_NOTIFICATION))
            layer = DesktopWindows::notificationLayer;
        else if (contains(*types, ewmh._NET_WM_WINDOW_TYPE_TOOLTIP) ||
                 contains(*types, ewmh._NET_WM_WINDOW_TYPE_POPUP_MENU) ||
                 contains(*types, ewmh._NET_WM_WINDOW_TYPE_DROPDOWN_MENU) ||
                 contains(*types, ewmh._NET_WM_WINDOW_TYPE_COMBO))
            layer = DesktopWindows::popupLayer;
        else if (contains(*types, ewmh._NET_WM_WINDOW_TYPE_UTILITY) ||
                 contains(*types, ewmh._NET_WM_WINDOW_TYPE_TOOLBAR) ||
                 contains(*types, ewmh._NET_WM_WINDOW_TYPE_MENU))
            layer = DesktopWindows::aboveLayer; // palettes float above documents
    }
    if (layer == DesktopWindows::normalLayer && states && contains(*states, ewmh._NET_WM_STATE_ABOVE))
        layer = DesktopWindows::aboveLayer;
    return layer;
}

std::vector<ClientFacts> clientFacts(xcb_connection_t* c, xcb_ewmh_connection_t& ewmh, xcb_window_t root,
                                     xcb_atom_t opacityAtom, const std::vector<xcb_window_t>& windows) {
    struct Cookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t pid, type, state, extents, opacity;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
    };
    // Send every request first and collect the replies afterwards: one round trip for the whole list.
    std::vector<Cookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows) {
        Cookies k{};
        k.attributes = xcb_get_window_attributes(c, w);
        k.pid = xcb_ewmh_get_wm_pid(&ewmh, w);
        k.type = xcb_ewmh_get_wm_window_type(&ewmh, w);
        k.state = xcb_ewmh_get_wm_state(&ewmh, w);
        k.extents = xcb_ewmh_get_frame_extents(&ewmh, w);
        k.opacity = xcb_get_property(c, 0, w, opacityAtom, XCB_ATOM_CARDINAL, 0, 1);
        k.geometry = xcb_get_geometry(c, w);
        k.origin = xcb_translate_coordinates(c, w, root, 0, 0);
        cookies.push_back(k);
    }

    std::vector<ClientFacts> facts;
    facts.reserve(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Cookies& k = cookies[i];
        ClientFacts f;
        f.window = windows[i];
        xcb_generic_error_t* raw = nullptr;

        XcbPtr<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, k.attributes, &raw));
        std::free(raw);
        raw = nullptr;
        f.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;

        std::uint32_t pid = 0;
        if (xcb_ewmh_get_wm_pid_reply(&ewmh, k.pid, &pid, &raw) && pid > 0 &&
            pid <= std::uint32_t(std::numeric_limits<std::int32_t>::max()))
            f.pid = pid;
        std::free(raw);
        raw = nullptr;

        xcb_ewmh_get_atoms_reply_t types{};
        const bool hasTypes = xcb_ewmh_get_wm_window_type_reply(&ewmh, k.type, &types, &raw);
        std::free(raw);
        raw = nullptr;
        xcb_ewmh_get_atoms_reply_t states{};
        const bool hasStates = xcb_ewmh_get_wm_state_reply(&ewmh, k.state, &states, &raw);
        std::free(raw);
        raw = nullptr;
        f.layer = layerOf(ewmh, hasTypes ? &types : nullptr, hasStates ? &states : nullptr);
        f.desktop = hasTypes && contains(types, ewmh._NET_WM_WINDOW_TYPE_DESKTOP);
        f.hidden = hasStates && contains(states, ewmh._NET_WM_STATE_HIDDEN);
        if (hasTypes)
            xcb_ewmh_get_atoms_reply_wipe(&types);
        if (hasStates)
            xcb_ewmh_get_atoms_reply_wipe(&states);

        xcb_ewmh_get_extents_reply_t extents{};
        if (!xcb_ewmh_get_frame_extents_reply(&ewmh, k.extents, &extents, &raw))
            extents = {};
        std::free(raw);
        raw = nullptr;

        XcbPtr<xcb_get_property_reply_t> opacity(xcb_get_property_reply(c, k.opacity, &raw));
        std::free(raw);
        raw = nullptr;
        if (opacity && opacity->type == XCB_ATOM_CARDINAL && opacity->format == 32 &&
            xcb_get_property_value_length(opacity.get()) >= 4) {
            const auto value = *static_cast<const std::uint32_t*>(xcb_get_property_value(opacity.get()));
            f.alpha = double(value) / double(std::numeric_limits<std::uint32_t>::max());
        }

        XcbPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, k.geometry, &raw));
        std::free(raw);
        raw = nullptr;
        XcbPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(c, k.origin, &raw));
        std::free(raw);
        raw = nullptr;
        if (geometry && origin) {
            // The frame the window manager drew around the client, in root coordinates.
            f.hasBounds = true;
            f.x = origin->dst_x - int(extents.left);
            f.y = origin->dst_y - int(extents.top);
            f.width = int(geometry->width) + int(extents.left) + int(extents.right);
            f.height = int(geometry->height) + int(extents.top) + int(extents.bottom);
        }
        facts.push_back(f);
    }
    return facts;
}

} // namespace

std::unique_ptr<X11DesktopWindows> X11DesktopWindows::connect(const QByteArray& displayName) {
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    if (name.isEmpty())
        return nullptr;
    auto connection = std::make_unique<Connection>();
    connection->xcb = xcb_connect(name.constData(), &connection->screen);
    if (!connection->xcb || xcb_connection_has_error(connection->xcb))
        return nullptr;
    xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(connection->xcb, &connection->ewmh);
    const xcb_intern_atom_cookie_t opacityCookie =
        xcb_intern_atom(connection->xcb, 0, 22, "_NET_WM_WINDOW_OPACITY");
    if (!xcb_ewmh_init_atoms_replies(&connection->ewmh, ewmhCookies, nullptr)) {
        // init_atoms_replies frees the cookies and wipes the half-made connection itself.
        std::free(xcb_intern_atom_reply(connection->xcb, opacityCookie, nullptr));
        return nullptr;
    }
    connection->ewmhReady = true;
    XcbPtr<xcb_intern_atom_reply_t> opacity(xcb_intern_atom_reply(connection->xcb, opacityCookie, nullptr));
    if (opacity)
        connection->opacity = opacity->atom;
    if (connection->screen < 0 || connection->screen >= connection->ewmh.nb_screens)
        return nullptr;
    connection->root = connection->ewmh.screens[connection->screen]->root;
    return std::unique_ptr<X11DesktopWindows>(new X11DesktopWindows(std::move(connection)));
}

X11DesktopWindows::X11DesktopWindows(std::unique_ptr<Connection> connection)
    : c_(std::move(connection)) {}

X11DesktopWindows::~X11DesktopWindows() = default;

namespace {

// The managed client windows, front-most first; nothing without a window manager that publishes them.
std::optional<std::vector<xcb_window_t>> stackingFrontFirst(xcb_ewmh_connection_t& ewmh, int screen) {
    xcb_ewmh_get_windows_reply_t reply{};
    xcb_generic_error_t* error = nullptr;
    if (!xcb_ewmh_get_client_list_stacking_reply(&ewmh, xcb_ewmh_get_client_list_stacking(&ewmh, screen),
                                                 &reply, &error)) {
        std::free(error);
        return std::nullopt;
    }
    // The property lists bottom to top.
    std::vector<xcb_window_t> windows(reply.windows, reply.windows + reply.windows_len);
    xcb_ewmh_get_windows_reply_wipe(&reply);
    std::reverse(windows.begin(), windows.end());
    return windows;
}

} // namespace

std::optional<QList<DesktopWindow>> X11DesktopWindows::windowList() {
    const auto windows = stackingFrontFirst(c_->ewmh, c_->screen);
    if (!windows)
        return std::nullopt;
    QList<DesktopWindow> list;
    for (const ClientFacts& f : clientFacts(c_->xcb, c_->ewmh, c_->root, c_->opacity, *windows)) {
        if (!f.viewable || f.hidden || f.desktop || !f.hasBounds)
            continue;
        DesktopWindow entry;
        if (f.pid)
            entry.pid = std::int32_t(*f.pid);
        entry.layer = f.layer;
        entry.alpha = f.alpha;
        entry.bounds = QRect(f.x, f.y, f.width, f.height);
        entry.nativeId = f.window;
        list.append(entry);
    }
    c_->drainEvents();
    return list;
}

bool X11DesktopWindows::activateProcess(std::int32_t pid) {
    const auto windows = stackingFrontFirst(c_->ewmh, c_->screen);
    if (!windows || pid <= 0)
        return false;
    const std::vector<ClientFacts> facts = clientFacts(c_->xcb, c_->ewmh, c_->root, c_->opacity, *windows);
    const auto ofProcess = [pid](const ClientFacts& f) { return f.pid && std::int32_t(*f.pid) == pid; };
    // The front-most normal window that shows; else any window of the process, a minimised one
    // included (activating it restores it).
    auto target = std::find_if(facts.begin(), facts.end(), [&](const ClientFacts& f) {
        return ofProcess(f) && f.viewable && !f.hidden && f.layer == normalLayer;
    });
    if (target == facts.end())
        target = std::find_if(facts.begin(), facts.end(),
                              [&](const ClientFacts& f) { return ofProcess(f) && !f.desktop; });
    if (target == facts.end()) {
        c_->drainEvents();
        return false;
    }
    xcb_window_t active = XCB_NONE;
    xcb_generic_error_t* error = nullptr;
    if (!xcb_ewmh_get_active_window_reply(&c_->ewmh, xcb_ewmh_get_active_window(&c_->ewmh, c_->screen),
                                          &active, &error))
        active = XCB_NONE;
    std::free(error);
    // Source 2 ("pager"): a request on the user's behalf, which window managers honour without their
    // focus-stealing checks.
    xcb_ewmh_request_change_active_window(&c_->ewmh, c_->screen, target->window,
                                          XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME, active);
    xcb_flush(c_->xcb);
    c_->drainEvents();
    return true;
}

std::optional<std::int32_t> X11DesktopWindows::activeProcess() {
    xcb_window_t active = XCB_NONE;
    xcb_generic_error_t* error = nullptr;
    const bool ok = xcb_ewmh_get_active_window_reply(
        &c_->ewmh, xcb_ewmh_get_active_window(&c_->ewmh, c_->screen), &active, &error);
    std::free(error);
    if (!ok || active == XCB_NONE)
        return std::nullopt;
    std::uint32_t pid = 0;
    error = nullptr;
    const bool hasPid =
        xcb_ewmh_get_wm_pid_reply(&c_->ewmh, xcb_ewmh_get_wm_pid(&c_->ewmh, active), &pid, &error);
    std::free(error);
    c_->drainEvents();
    if (!hasPid || pid == 0 || pid > std::uint32_t(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return std::int32_t(pid);
}
