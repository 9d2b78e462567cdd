#pragma once

#include "morvik_platform_export.h"

#include "NonActivatingWindow.h"

#include <QByteArray>

#include <memory>

// On an X11 display, over an xcb connection of its own (Qt's is never touched; window ids are the
// server's, so both connections name the same windows):
// - refuseFocus takes WM_TAKE_FOCUS out of WM_PROTOCOLS and sets the input field of WM_HINTS to
//   false. Qt advertises WM_TAKE_FOCUS on every window it makes, which lets a window manager hand the
//   window the focus on a click even when its hints say it takes no input.
// - setInputRegion sets the window's input shape (XShape, SK_INPUT), setVisibleRegion its bounding
//   shape (SK_BOUNDING; removed for an empty list).
// - compositing looks for the owner of the _NET_WM_CM_Sn selection.
// Each call ends with a round trip, so the server has applied it before Qt's connection maps the
// window.
class MORVIK_PLATFORM_EXPORT X11NonActivatingWindow : public NonActivatingWindow {
public:
    // Connects to the named display (default: DISPLAY); null when there is none, it cannot be reached
    // or it lacks the shape extension.
    static std::unique_ptr<X11NonActivatingWindow> connect(const QByteArray& displayName = {});
    ~X11NonActivatingWindow() override;

    bool refuseFocus(std::uint64_t nativeWindow) override;
    bool setInputRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) override;
    bool setVisibleRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) override;
    bool compositing() override;

private:
    struct Connection;
    // Sets one kind of the window's shape (XCB_SHAPE_SK_*) to the rectangles, without a round trip.
    void setShape(std::uint8_t kind, std::uint64_t nativeWindow, const QList<QRect>& rectangles);
    explicit X11NonActivatingWindow(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> c_;
};
