#pragma once

#include "morvik_platform_export.h"

#include "DesktopActivity.h"

#include <QByteArray>
#include <QTimer>

#include <chrono>
#include <memory>

class QSocketNotifier;

// Desktop activity on an X11 display: PropertyNotify events of the root window's _NET_ACTIVE_WINDOW
// and _NET_CLIENT_LIST, read from an xcb connection of its own through a socket notifier on the
// main thread. Qt's connection and its event handling are never touched.
//
// The window manager may pass through "no active window" while it moves the focus from one window
// to the next. Such a moment changes nothing: activeProcess() keeps the process of the window that
// was active before, so an owner is never taken for resigned in between. Only when no window has
// been active for noActiveWindowGrace (the user clicked the bare desktop, the last window went away)
// does activeProcess() become nothing, reported with activeWindowChanged().
//
// When the X server goes away the notifier is switched off: no more signals and no active process.
class MORVIK_PLATFORM_EXPORT X11DesktopActivity : public DesktopActivity {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds noActiveWindowGrace{500};

    // Connects to the named display (default: DISPLAY); null when there is none or it cannot be
    // reached.
    static std::unique_ptr<X11DesktopActivity> connect(const QByteArray& displayName = {});
    ~X11DesktopActivity() override;

    std::optional<std::int32_t> activeProcess() const override;

    // False once the connection to the X server broke.
    bool connected() const;

    // Replaces noActiveWindowGrace (tests on a busy machine lengthen it).
    void setNoActiveWindowGrace(std::chrono::milliseconds grace);

private:
    struct Connection;
    explicit X11DesktopActivity(std::unique_ptr<Connection> connection);

    // Handles every event xcb holds, whether still in the socket or already queued by a reply read.
    void drain();
    void handlePropertyChange(std::uint32_t atom);
    // Reads _NET_ACTIVE_WINDOW and its window's process (two round trips); true when another window
    // or process is now active.
    bool readActiveWindow();
    // The window's _NET_WM_PID; nothing when it names none or the window is gone.
    std::optional<std::int32_t> processOf(std::uint32_t window);
    void settleOnNoActiveWindow();
    void disconnectBroken();

    std::unique_ptr<Connection> c_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer noActiveWindow_;
    // The window last reported active (none after a settled moment without one) and its process.
    std::uint32_t activeWindow_ = 0;
    // No window is active and the grace is running.
    bool awaitingWindow_ = false;
    std::optional<std::int32_t> activeProcess_;
};
