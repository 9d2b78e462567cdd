#pragma once

#include "morvik_host_windows_export.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class FeedbackBannerView;
class QQuickView;

// The offer banner's own window: a frameless, transparent panel that floats over the owner's front
// window (or one of our windows, or the top right of the screen) without ever taking the focus. One
// panel, made by the first show() and reused for the life of the process.
//
// Placement, every show():
// - Hosting, with the owner's front window found: centred on it, the capsule 34 points below its top
//   edge, kept above normal windows and attached to none.
// - Else in anchorWindow(): centred on it, the capsule 6 points below the top of its client area, a
//   child (transient) of that window at its level.
// - Else near the top right of the primary screen's available area, kept above normal windows.
// Levels are numbers as the placement rules write them (0 normal, 3 floating, 25 status bar, 101
// popups and tool tips); 3 and above keep the panel on top.
//
// The window refuses the focus at the window system too (no WM_TAKE_FOCUS, input hint false), so a
// click on "Tell us" or the close button leaves the active window as it was; only the capsule takes
// clicks, the transparent margins let them through to the window beneath.
//
// Main thread only.
class MORVIK_HOST_WINDOWS_EXPORT FeedbackBannerPanel : public QObject {
    Q_OBJECT

public:
    static constexpr int normalLevel = 0;
    static constexpr int popupLevel = 101;

    static FeedbackBannerPanel& shared();
    // Destroys the shared panel with its window, for applications (and tests) that tear everything
    // down before they exit, before the QML engine goes; a later shared() makes a new one.
    static void shutDown();

    // Makes the panel if needed, places it and shows it without activating it.
    void show();
    // Makes the panel and its native window, not shown, so that the next show() is quick.
    void prepare();
    // Takes the panel off screen and detaches it from its anchor; nothing before the first show().
    void hide();

    // The window of ours the banner belongs to: the focused window, else the top-level windows in
    // turn; the first that is visible, not the banner nor the composer, at least 280 x 120 and at a
    // normal or floating level. Null when none qualifies.
    static QWindow* anchorWindow();
    // A window's level in the placement rules' numbers.
    static int level(const QWindow* window);

    // The panel's window (null before the first show), the window it is attached to, its level.
    QQuickView* window() const { return window_.get(); }
    QWindow* anchor() const { return anchor_; }
    int level() const { return level_; }
    // Whether the window is cut to the capsule (no compositor to blend its transparent margins).
    bool cutToCapsule() const { return cutToCapsule_; }

    // Where the owner's front window is, in bottom-left screen points; the default asks the desktop's
    // window list for the owner's process while hosting. Tests point it at a window of their own.
    using OwnerFrame = std::function<std::optional<QRectF>()>;
    void setOwnerFrameForTesting(OwnerFrame ownerFrame);
    // The owner's front window of that process, in bottom-left screen points, converted from the
    // window list's device pixels; nothing when it has none.
    static std::optional<QRectF> frontWindowOf(std::int32_t pid);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FeedbackBannerPanel();
    ~FeedbackBannerPanel() override;
    void create();
    void place(const QRectF& frame, int level, QWindow* anchor);
    void prepareNativeWindow();
    // The capsule within the panel, in the window's device pixels.
    QRectF deviceCapsuleFrame() const;
    // Sets which part of the window takes clicks (the capsule) and which is drawn (the capsule when
    // cut to it, else all of it).
    void applyShapes();

    std::unique_ptr<FeedbackBannerView> view_;
    std::unique_ptr<QQuickView> window_;
    QPointer<QWindow> anchor_;
    int level_ = normalLevel;
    bool cutToCapsule_ = false;
    OwnerFrame ownerFrame_;
    // Shown and not exposed since: the next expose is narrated.
    bool awaitingExpose_ = false;
};
