#include "FeedbackBannerPanel.h"

#include "BannerPlacement.h"
#include "DesktopWindows.h"
#include "FeedbackBannerView.h"
#include "FeedbackComposerQml.h"
#include "FeedbackComposerWindow.h"
#include "FeedbackExternalHost.h"
#include "FeedbackLogging.h"
#include "FeedbackReporter.h"
#include "NonActivatingWindow.h"
#include "OwnerWindowFrame.h"

#include <QGuiApplication>
#include <QQuickView>
#include <QScreen>
#include <QSurfaceFormat>

#include <cmath>
#include <utility>

namespace {

FeedbackBannerPanel* instance = nullptr;

double primaryScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

// A top-left frame as a bottom-left one, for a primary screen of that height.
QRectF bottomLeft(const QRect& frame, double screenHeight) {
    return QRectF(frame.x(), screenHeight - frame.y() - frame.height(), frame.width(), frame.height());
}

std::optional<QRectF> hostOwnerFrame() {
    if (!FeedbackExternalHost::isHosting())
        return std::nullopt;
    const std::optional<std::int32_t> owner = FeedbackExternalHost::ownerPID();
    return owner ? FeedbackBannerPanel::frontWindowOf(*owner) : std::nullopt;
}

// The capsule (a rectangle with fully rounded ends) as one rectangle per row of whole units, each as
// wide as the rounded ends allow at that row.
QList<QRect> capsuleRows(const QRectF& capsule) {
    QList<QRect> rows;
    const int top = int(std::floor(capsule.top()));
    const int bottom = int(std::ceil(capsule.bottom()));
    const double radius = capsule.height() / 2;
    const double middle = capsule.center().y();
    for (int y = top; y < bottom; ++y) {
        const double dy = std::min(std::abs(y + 0.5 - middle), radius);
        const double inset = radius - std::sqrt(radius * radius - dy * dy);
        const int left = int(std::floor(capsule.left() + inset));
        const int right = int(std::ceil(capsule.right() - inset));
        if (right > left)
            rows.append(QRect(left, y, right - left, 1));
    }
    return rows;
}

} // namespace

FeedbackBannerPanel& FeedbackBannerPanel::shared() {
    if (!instance)
        instance = new FeedbackBannerPanel; // lives as long as the process
    return *instance;
}

void FeedbackBannerPanel::shutDown() {
    delete std::exchange(instance, nullptr);
}

FeedbackBannerPanel::FeedbackBannerPanel()
    : ownerFrame_(hostOwnerFrame) {}

FeedbackBannerPanel::~FeedbackBannerPanel() {
    // The window goes before the view it shows.
    window_.reset();
    view_.reset();
}

void FeedbackBannerPanel::setOwnerFrameForTesting(OwnerFrame ownerFrame) {
    ownerFrame_ = ownerFrame ? std::move(ownerFrame) : OwnerFrame(hostOwnerFrame);
}

std::optional<QRectF> FeedbackBannerPanel::frontWindowOf(std::int32_t pid) {
    const auto windows = DesktopWindows::system().windowList();
    if (!windows)
        return std::nullopt;
    // The window list counts device pixels, windows are placed in device-independent ones.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen ? screen->devicePixelRatio() : 1;
    const std::optional<QRectF> frame =
        FeedbackExternalHost::frontWindowFrame(*windows, pid, primaryScreenHeight() * ratio);
    if (!frame)
        return std::nullopt;
    return QRectF(frame->x() / ratio, frame->y() / ratio, frame->width() / ratio, frame->height() / ratio);
}

int FeedbackBannerPanel::level(const QWindow* window) {
    if (window->type() == Qt::Popup || window->type() == Qt::ToolTip)
        return popupLevel;
    return window->flags().testFlag(Qt::WindowStaysOnTopHint) ? BannerPlacement::floatingLevel : normalLevel;
}

QWindow* FeedbackBannerPanel::anchorWindow() {
    QList<QWindow*> candidates;
    if (QWindow* focused = QGuiApplication::focusWindow())
        candidates.append(focused);
    candidates += QGuiApplication::topLevelWindows();
    const QWindow* banner = instance ? instance->window_.get() : nullptr;
    for (QWindow* window : candidates) {
        if (!window->isTopLevel())
            continue;
        if (BannerPlacement::canAnchor(window->isVisible(), window == banner,
                                       FeedbackComposerWindow::owns(window), window->frameGeometry().size(),
                                       level(window)))
            return window;
    }
    return nullptr;
}

void FeedbackBannerPanel::create() {
    view_ = std::make_unique<FeedbackBannerView>(FeedbackReporter::shared());
    auto window = std::make_unique<QQuickView>(&FeedbackComposerQml::engine(), nullptr);
    window->setTitle(QStringLiteral("Morvik Feedback"));
    window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                     Qt::WindowDoesNotAcceptFocus);
    // Mapped without being given the focus.
    window->setProperty("_q_showWithoutActivating", true);
    QSurfaceFormat format = window->format();
    format.setAlphaBufferSize(8);
    window->setFormat(format);
    window->setColor(Qt::transparent);
    window->setResizeMode(QQuickView::SizeRootObjectToView);
    window->resize(int(BannerPlacement::initialPanelWidth), int(BannerPlacement::panelHeight));
    window->setInitialProperties({{QStringLiteral("view"), QVariant::fromValue(view_.get())}});
    window->setSource(FeedbackComposerQml::bannerUrl());
    if (window->status() == QQuickView::Error) {
        for (const QQmlError& error : window->errors())
            qCWarning(lcFeedbackOffers).noquote() << QStringLiteral("feedback: banner: ") + error.toString();
    }
    window->installEventFilter(this);
    window_ = std::move(window);
}

void FeedbackBannerPanel::prepare() {
    if (window_)
        return;
    create();
    prepareNativeWindow();
}

void FeedbackBannerPanel::show() {
    if (!window_)
        create();
    if (const std::optional<QRectF> owner = ownerFrame_()) {
        place(BannerPlacement::overOwnerWindow(*owner), BannerPlacement::floatingLevel, nullptr);
        return;
    }
    const double screenHeight = primaryScreenHeight();
    if (QWindow* anchor = anchorWindow()) {
        // The client area's top edge, counted from the frame's bottom edge.
        const QRect frame = anchor->frameGeometry();
        const double contentTop = frame.y() + frame.height() - anchor->geometry().y();
        place(BannerPlacement::inOwnWindow(bottomLeft(frame, screenHeight), contentTop), level(anchor),
              anchor);
        return;
    }
    std::optional<QRectF> available;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        available = bottomLeft(screen->availableGeometry(), screenHeight);
    place(BannerPlacement::onScreen(available), BannerPlacement::statusBarLevel, nullptr);
}

void FeedbackBannerPanel::place(const QRectF& frame, int level, QWindow* anchor) {
    const bool onTop = level >= BannerPlacement::floatingLevel;
    const bool restack = window_->flags().testFlag(Qt::WindowStaysOnTopHint) != onTop;
    const bool reattach = window_->transientParent() != anchor;
    // The window manager reads the stacking and the parent window when the window is mapped.
    if (window_->isVisible() && (restack || reattach))
        window_->hide();
    if (restack) {
        window_->setFlag(Qt::WindowStaysOnTopHint, onTop);
        // Qt's X11 window is made anew at its next show after this change, without what
        // prepareNativeWindow set on it; made anew here instead, so it is prepared before it shows.
        if (window_->handle())
            window_->destroy();
    }
    if (reattach)
        window_->setTransientParent(anchor);
    anchor_ = anchor;
    level_ = level;
    window_->setGeometry(BannerPlacement::toTopLeft(frame, primaryScreenHeight()));
    prepareNativeWindow();
    awaitingExpose_ = !window_->isVisible();
    window_->show();
    window_->raise();
    applyShapes();
}

void FeedbackBannerPanel::prepareNativeWindow() {
    window_->create();
    NonActivatingWindow& system = NonActivatingWindow::forPlatform(QGuiApplication::platformName());
    system.refuseFocus(static_cast<std::uint64_t>(window_->winId()));
    // Without a compositor the transparent margins would show black: the window is cut to the
    // capsule, which then goes without its shadow.
    cutToCapsule_ = !system.compositing();
    applyShapes();
}

QRectF FeedbackBannerPanel::deviceCapsuleFrame() const {
    const double ratio = window_->devicePixelRatio();
    return QRectF(BannerPlacement::shadowSide * ratio, BannerPlacement::shadowTop * ratio,
                  (window_->width() - 2 * BannerPlacement::shadowSide) * ratio,
                  BannerPlacement::capsuleHeight * ratio);
}

void FeedbackBannerPanel::applyShapes() {
    NonActivatingWindow& system = NonActivatingWindow::forPlatform(QGuiApplication::platformName());
    const auto id = static_cast<std::uint64_t>(window_->winId());
    const QList<QRect> capsule = capsuleRows(deviceCapsuleFrame());
    // Only the capsule takes clicks; the margins left for its shadow pass them to the window beneath.
    system.setInputRegion(id, capsule);
    system.setVisibleRegion(id, cutToCapsule_ ? capsule : QList<QRect>{});
}

bool FeedbackBannerPanel::eventFilter(QObject* watched, QEvent* event) {
    // A window manager that frames the window copies its input shape to the frame when it hears of a
    // change, and hears only once it manages the window; and Qt's showing the window clears its
    // visible shape. Both are set again once the window is on screen.
    if (watched == window_.get() && event->type() == QEvent::Expose && window_->isExposed()) {
        applyShapes();
        if (std::exchange(awaitingExpose_, false))
            // Narration for tests and the benchmark; on with
            // QT_LOGGING_RULES="morvik.feedback.offers.debug=true".
            qCDebug(lcFeedbackOffers).noquote() << QStringLiteral("banner: window exposed");
    }
    return QObject::eventFilter(watched, event);
}

void FeedbackBannerPanel::hide() {
    if (!window_)
        return;
    if (anchor_)
        window_->setTransientParent(nullptr);
    anchor_ = nullptr;
    window_->hide();
}
