#pragma once

#include "morvik_host_export.h"

#include <QByteArray>

#include <optional>

// Shows and hides the offer banner for the host (the banner's window and Qt Quick live in the library
// loaded on demand).
class MORVIK_HOST_EXPORT BannerPresenter {
public:
    virtual ~BannerPresenter() = default;
    // Places the banner (over the owner's front window, else in one of our windows, else near the top
    // right of the screen) and shows it without taking the focus.
    virtual void show() = 0;
    // Gets the banner ready to show at once (libraries loaded, layout compiled, window made) without
    // showing anything; show() does the same when it was not done before.
    virtual void prepare() = 0;
    virtual void hide() = 0;
    // A picture of our own window the banner belongs to, or nothing (no such window).
    virtual std::optional<QByteArray> captureAnchorWindow() = 0;
};
