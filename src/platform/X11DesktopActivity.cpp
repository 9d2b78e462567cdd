#include "X11DesktopActivity.h"

#include <QPointer>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <limits>
#include <optional>

namespace {

// Replies, events and errors are owned by xcb's malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atomOf(xcb_connection_t* c, xcb_intern_atom_cookie_t cookie) {
    XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_NONE);
}

// The first 32-bit value of a property of the given type; nothing when the property is missing, of
// another type or format, or the window is gone.
std::optional<std::uint32_t> cardinalProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                              xcb_atom_t type) {
    XcbPtr<xcb_generic_error_t> error;
    xcb_generic_error_t* raw = nullptr;
    XcbPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), &raw));
    error.reset(raw);
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

struct X11DesktopActivity::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_atom_t activeWindow = XCB_NONE;
    xcb_atom_t clientList = XCB_NONE;
    xcb_atom_t pid = XCB_NONE;
    bool broken = false;

    ~Connection() {
        if (xcb)
            xcb_disconnect(xcb);
    }
};

std::unique_ptr<X11DesktopActivity> X11DesktopActivity::connect(const QByteArray& displayName) {
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    if (name.isEmpty())
        return nullptr;
    auto connection = std::make_unique<Connection>();
    int screen = 0;
    // xcb_connect always returns a connection object, one in an error state when it failed.
    connection->xcb = xcb_connect(name.constData(), &screen);
    if (xcb_connection_has_error(connection->xcb))
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->xcb));
    for (int i = 0; i < screen && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return nullptr;
    connection->root = screens.data->root;

    xcb_connection_t* c = connection->xcb;
    const auto activeCookie = xcb_intern_atom(c, 0, 18, "_NET_ACTIVE_WINDOW");
    const auto listCookie = xcb_intern_atom(c, 0, 16, "_NET_CLIENT_LIST");
    const auto pidCookie = xcb_intern_atom(c, 0, 11, "_NET_WM_PID");
    connection->activeWindow = atomOf(c, activeCookie);
    connection->clientList = atomOf(c, listCookie);
    connection->pid = atomOf(c, pidCookie);
    if (connection->activeWindow == XCB_NONE || connection->clientList == XCB_NONE ||
        connection->pid == XCB_NONE)
        return nullptr;

    // Other clients (Qt's own connection among them) may select events on the root window too; the
    // server keeps each client's selection apart.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    XcbPtr<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_change_window_attributes_checked(c, connection->root, XCB_CW_EVENT_MASK, &mask)));
    if (error || xcb_connection_has_error(c))
        return nullptr;
    return std::unique_ptr<X11DesktopActivity>(new X11DesktopActivity(std::move(connection)));
}

void X11DesktopActivity::setNoActiveWindowGrace(std::chrono::milliseconds grace) {
    noActiveWindow_.setInterval(grace);
}

X11DesktopActivity::X11DesktopActivity(std::unique_ptr<Connection> connection)
    : c_(std::move(connection)) {
    noActiveWindow_.setSingleShot(true);
    noActiveWindow_.setInterval(noActiveWindowGrace);
    QObject::connect(&noActiveWindow_, &QTimer::timeout, this, &X11DesktopActivity::settleOnNoActiveWindow);

    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(c_->xcb), QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, &X11DesktopActivity::drain);

    // The state as of now, without a signal: nothing can be listening yet. Events that came in
    // before this read are handled by the drain below against it and change nothing.
    const auto window = cardinalProperty(c_->xcb, c_->root, c_->activeWindow, XCB_ATOM_WINDOW);
    if (window && *window != XCB_NONE) {
        activeWindow_ = *window;
        activeProcess_ = processOf(*window);
    }
    drain();
}

X11DesktopActivity::~X11DesktopActivity() = default;

std::optional<std::int32_t> X11DesktopActivity::activeProcess() const {
    return activeProcess_;
}

bool X11DesktopActivity::connected() const {
    return !c_->broken;
}

std::optional<std::int32_t> X11DesktopActivity::processOf(std::uint32_t window) {
    const auto pid = cardinalProperty(c_->xcb, window, c_->pid, XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0 || *pid > std::uint32_t(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return std::int32_t(*pid);
}

void X11DesktopActivity::drain() {
    if (c_->broken)
        return;
    bool activeChanged = false;
    bool listChanged = false;
    // Several changes of the active window read together need one look at where it ended up (a
    // moment without one in between is never seen then). That look reads replies, which may pull
    // further events off the socket into xcb's queue, where the notifier would never see them: the
    // loop goes on until xcb holds none at all.
    for (;;) {
        bool activeTouched = false;
        while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(c_->xcb)}) {
            if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                continue;
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (change->window != c_->root)
                continue;
            if (change->atom == c_->activeWindow)
                activeTouched = true;
            else if (change->atom == c_->clientList)
                listChanged = true;
        }
        if (!activeTouched || xcb_connection_has_error(c_->xcb))
            break;
        activeChanged = readActiveWindow() || activeChanged;
    }
    if (xcb_connection_has_error(c_->xcb)) {
        disconnectBroken();
        return;
    }
    // One signal of each kind per batch: a burst of changes read together is one change to listeners.
    QPointer<X11DesktopActivity> alive(this);
    if (activeChanged)
        emit activeWindowChanged();
    if (alive && listChanged)
        emit clientListChanged();
}

bool X11DesktopActivity::readActiveWindow() {
    const auto read = cardinalProperty(c_->xcb, c_->root, c_->activeWindow, XCB_ATOM_WINDOW);
    const std::uint32_t window = read.value_or(XCB_NONE);
    if (window == XCB_NONE) {
        // Possibly the window manager between two windows: wait and see before reporting nothing.
        if (activeWindow_ != XCB_NONE && !awaitingWindow_) {
            awaitingWindow_ = true;
            noActiveWindow_.start();
        }
        return false;
    }
    awaitingWindow_ = false;
    noActiveWindow_.stop();
    // The process is read even for the window that was active already: X reuses the identifiers of
    // a client that went away for the next one to connect, so the same number may be another window.
    const std::optional<std::int32_t> process = processOf(window);
    if (window == activeWindow_ && process == activeProcess_)
        return false; // the same window again (rewritten, or back after a moment without one)
    activeWindow_ = window;
    activeProcess_ = process;
    return true;
}

void X11DesktopActivity::settleOnNoActiveWindow() {
    // Change events may wait in the socket that end the moment without an active window.
    QPointer<X11DesktopActivity> alive(this);
    drain();
    if (!alive || c_->broken || !awaitingWindow_)
        return;
    awaitingWindow_ = false;
    activeWindow_ = XCB_NONE;
    activeProcess_.reset();
    emit activeWindowChanged();
}

void X11DesktopActivity::disconnectBroken() {
    // A broken connection's socket stays readable for ever; the notifier must not fire again.
    c_->broken = true;
    notifier_->setEnabled(false);
    noActiveWindow_.stop();
    awaitingWindow_ = false;
    activeWindow_ = XCB_NONE;
    activeProcess_.reset();
}
