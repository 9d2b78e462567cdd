#include "X11NonActivatingWindow.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

// Replies and errors are owned by xcb's malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// WM_HINTS: nine 32-bit fields, the first the flags saying which others count, the second the input
// field (ICCCM 4.1.2.4).
constexpr std::size_t wmHintsFields = 9;
constexpr std::uint32_t inputHintFlag = 1;

xcb_atom_t internAtom(xcb_connection_t* xcb, const std::string& name) {
    const XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        xcb, xcb_intern_atom(xcb, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

std::int16_t clampedCoordinate(int value) {
    return static_cast<std::int16_t>(std::clamp(value, int(std::numeric_limits<std::int16_t>::min()),
                                                int(std::numeric_limits<std::int16_t>::max())));
}

std::uint16_t clampedLength(int value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0, int(std::numeric_limits<std::uint16_t>::max())));
}

} // namespace

struct X11NonActivatingWindow::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_atom_t protocols = XCB_NONE;
    xcb_atom_t takeFocus = XCB_NONE;
    xcb_atom_t compositorSelection = XCB_NONE;

    ~Connection() {
        if (xcb)
            xcb_disconnect(xcb);
    }

    // A round trip: every request sent before it has been carried out once it returns. Errors of
    // requests without replies arrive as events, which nothing here reads: they are dropped.
    bool sync() {
        const XcbPtr<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
        bool ok = reply != nullptr;
        while (xcb_generic_event_t* event = xcb_poll_for_event(xcb)) {
            if (event->response_type == 0)
                ok = false;
            std::free(event);
        }
        return ok;
    }
};

std::unique_ptr<X11NonActivatingWindow> X11NonActivatingWindow::connect(const QByteArray& displayName) {
    auto c = std::make_unique<Connection>();
    int screenNumber = 0;
    c->xcb = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!c->xcb || xcb_connection_has_error(c->xcb))
        return nullptr;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c->xcb, &xcb_shape_id);
    if (!shape || !shape->present)
        return nullptr;
    c->protocols = internAtom(c->xcb, "WM_PROTOCOLS");
    c->takeFocus = internAtom(c->xcb, "WM_TAKE_FOCUS");
    c->compositorSelection = internAtom(c->xcb, "_NET_WM_CM_S" + std::to_string(screenNumber));
    if (c->protocols == XCB_NONE || c->takeFocus == XCB_NONE)
        return nullptr;
    return std::unique_ptr<X11NonActivatingWindow>(new X11NonActivatingWindow(std::move(c)));
}

X11NonActivatingWindow::X11NonActivatingWindow(std::unique_ptr<Connection> connection)
    : c_(std::move(connection)) {}

X11NonActivatingWindow::~X11NonActivatingWindow() = default;

bool X11NonActivatingWindow::refuseFocus(std::uint64_t nativeWindow) {
    const auto window = static_cast<xcb_window_t>(nativeWindow);
    xcb_connection_t* xcb = c_->xcb;
    const auto protocolsCookie = xcb_get_property(xcb, 0, window, c_->protocols, XCB_ATOM_ATOM, 0, 64);
    const auto hintsCookie =
        xcb_get_property(xcb, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, wmHintsFields);
    const XcbPtr<xcb_get_property_reply_t> protocolsReply(
        xcb_get_property_reply(xcb, protocolsCookie, nullptr));
    const XcbPtr<xcb_get_property_reply_t> hintsReply(xcb_get_property_reply(xcb, hintsCookie, nullptr));
    if (!protocolsReply || !hintsReply)
        return false; // no such window

    if (protocolsReply->type == XCB_ATOM_ATOM && protocolsReply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(protocolsReply.get()));
        const int count = xcb_get_property_value_length(protocolsReply.get()) / 4;
        std::vector<xcb_atom_t> kept;
        for (int i = 0; i < count; ++i)
            if (atoms[i] != c_->takeFocus)
                kept.push_back(atoms[i]);
        if (int(kept.size()) != count)
            xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, window, c_->protocols, XCB_ATOM_ATOM, 32,
                                static_cast<std::uint32_t>(kept.size()), kept.data());
    }

    // Keep whatever else the hints say (the window group); only the input field changes.
    std::uint32_t hints[wmHintsFields] = {};
    if (hintsReply->type == XCB_ATOM_WM_HINTS && hintsReply->format == 32) {
        const int available = xcb_get_property_value_length(hintsReply.get()) / 4;
        const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(hintsReply.get()));
        std::copy(values, values + std::min<int>(available, wmHintsFields), hints);
    }
    hints[0] |= inputHintFlag;
    hints[1] = 0;
    xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        wmHintsFields, hints);
    return c_->sync();
}

bool X11NonActivatingWindow::setInputRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) {
    setShape(XCB_SHAPE_SK_INPUT, nativeWindow, rectangles);
    return c_->sync();
}

bool X11NonActivatingWindow::setVisibleRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) {
    if (rectangles.isEmpty())
        xcb_shape_mask(c_->xcb, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                       static_cast<xcb_window_t>(nativeWindow), 0, 0, XCB_NONE);
    else
        setShape(XCB_SHAPE_SK_BOUNDING, nativeWindow, rectangles);
    return c_->sync();
}

void X11NonActivatingWindow::setShape(std::uint8_t kind, std::uint64_t nativeWindow,
                                      const QList<QRect>& rectangles) {
    std::vector<xcb_rectangle_t> shape;
    shape.reserve(rectangles.size());
    for (const QRect& r : rectangles)
        if (!r.isEmpty())
            shape.push_back({clampedCoordinate(r.x()), clampedCoordinate(r.y()), clampedLength(r.width()),
                             clampedLength(r.height())});
    xcb_shape_rectangles(c_->xcb, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED,
                         static_cast<xcb_window_t>(nativeWindow), 0, 0,
                         static_cast<std::uint32_t>(shape.size()), shape.data());
}

bool X11NonActivatingWindow::compositing() {
    if (c_->compositorSelection == XCB_NONE)
        return false;
    const XcbPtr<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        c_->xcb, xcb_get_selection_owner(c_->xcb, c_->compositorSelection), nullptr));
    return reply && reply->owner != XCB_NONE;
}
