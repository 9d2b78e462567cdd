#pragma once

#include "morvik_platform_export.h"

#include <QList>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>

// What a floating window needs from the window system so that it never takes the focus and lets
// clicks outside its visible shape through: the window manager is told the window takes no input
// focus, and only the given region of it receives pointer events. Windows are named by their native
// id (the platform window's winId); regions are in the window's own device pixels.
class MORVIK_PLATFORM_EXPORT NonActivatingWindow {
public:
    virtual ~NonActivatingWindow();

    // Before the window is mapped: the window manager must neither give it the input focus nor offer
    // it the focus to take. False when the window system could not be told.
    virtual bool refuseFocus(std::uint64_t nativeWindow) = 0;

    // Only these rectangles of the window receive pointer input; elsewhere clicks reach whatever lies
    // beneath. False when the window system could not be told.
    virtual bool setInputRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) = 0;

    // Only these rectangles of the window are drawn on screen (an empty list: the whole window). For
    // displays without a compositor, where transparent pixels would show black. False when the
    // window system could not be told.
    virtual bool setVisibleRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) = 0;

    // Whether a compositing manager blends translucent windows with what is beneath them; without
    // one, transparent pixels show as black.
    virtual bool compositing() = 0;

    // The instance for the running platform plugin ("xcb": the X11 one when the display in DISPLAY
    // can be reached), else one that does nothing; made on first use. Main thread.
    static NonActivatingWindow& forPlatform(const QString& platformName);
};
