#pragma once

#include "morvik_platform_export.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

// Follows which application is active and when the desktop's window list changes, from the window
// system's change events (never by polling). Main thread.
class MORVIK_PLATFORM_EXPORT DesktopActivity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DesktopActivity() override;

    // The process that owns the active window, as of the last change event; nothing when no window
    // is active, when the active window names no process, or without a window system.
    virtual std::optional<std::int32_t> activeProcess() const = 0;

    // The X11 one when the display in DISPLAY can be reached, else one that never changes and has no
    // active process.
    static std::unique_ptr<DesktopActivity> connect();

signals:
    // Another window became active. A moment with no active window in between (while the window
    // manager moves the focus) is not reported; no window staying active for longer (the bare desktop
    // was clicked, the last window closed) is, with no active process from then on.
    void activeWindowChanged();
    // Windows were mapped or unmapped (the managed client list changed).
    void clientListChanged();
};
