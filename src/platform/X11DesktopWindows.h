#pragma once

#include "morvik_platform_export.h"

#include "DesktopWindows.h"

#include <QByteArray>

#include <memory>

// Desktop windows on an X11 display through the window manager's published properties
// (_NET_CLIENT_LIST_STACKING, _NET_WM_PID, _NET_WM_WINDOW_TYPE, _NET_WM_STATE, _NET_FRAME_EXTENTS,
// _NET_WM_WINDOW_OPACITY, _NET_ACTIVE_WINDOW), over an xcb connection of its own: Qt's connection
// and its event handling are never touched. Use from one thread.
class MORVIK_PLATFORM_EXPORT X11DesktopWindows : public DesktopWindows {
public:
    // Connects to the named display (default: DISPLAY); null when there is none or it cannot be
    // reached.
    static std::unique_ptr<X11DesktopWindows> connect(const QByteArray& displayName = {});
    ~X11DesktopWindows() override;

    std::optional<QList<DesktopWindow>> windowList() override;
    bool activateProcess(std::int32_t pid) override;
    std::optional<std::int32_t> activeProcess() override;

private:
    struct Connection;
    explicit X11DesktopWindows(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> c_;
};
