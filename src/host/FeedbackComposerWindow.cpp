#include "FeedbackComposerWindow.h"

#include "Feedback.h"
#include "FeedbackComposerQml.h"
#include "FeedbackLogging.h"
#include "FeedbackView.h"
#include "OwnerWindowFrame.h"
#include "ReturnToOwner.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>
#include <QQuickView>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

constexpr QSize contentSize(460, 580);

std::shared_ptr<FeedbackComposerWindow>& current() {
    static std::shared_ptr<FeedbackComposerWindow> window;
    return window;
}

// Narration of the window's life: shown, each send's outcome, closed. Tests, the demo and the
// benchmark follow the window by these lines; on with
// QT_LOGGING_RULES="morvik.feedback.composer.debug=true".
void trace(const QString& line) {
    qCDebug(lcFeedbackComposer).noquote() << QStringLiteral("composer: ") + line;
}

} // namespace

FeedbackComposerWindow::FeedbackComposerWindow() = default;

FeedbackComposerWindow::~FeedbackComposerWindow() {
    // The window goes before the form it shows.
    window_.reset();
    view_.reset();
}

void FeedbackComposerWindow::present(FeedbackIntent intent, std::optional<QByteArray> screenshot) {
    if (QQuickView* open = openWindow()) {
        bringForward(open);
        return;
    }
    current().reset(new FeedbackComposerWindow);
    current()->open(intent, std::move(screenshot));
    // The last window is kept after it closes; it must go while the application still exists, not
    // with the static storage after it (an embedding application returns from main with it).
    static const bool releasedWithTheApplication = [] {
        qAddPostRoutine([] { current().reset(); });
        return true;
    }();
    Q_UNUSED(releasedWithTheApplication);
}

bool FeedbackComposerWindow::isOpen() {
    return openWindow() != nullptr;
}

bool FeedbackComposerWindow::owns(const QWindow* window) {
    return window && openWindow() == window;
}

std::uint64_t FeedbackComposerWindow::openSession() {
    return current() ? current()->session_ : 0;
}

QQuickView* FeedbackComposerWindow::openWindow() {
    return current() ? current()->window_.get() : nullptr;
}

FeedbackView* FeedbackComposerWindow::openView() {
    return current() ? current()->view_.get() : nullptr;
}

void FeedbackComposerWindow::open(FeedbackIntent intent, std::optional<QByteArray> screenshot) {
    static std::uint64_t sessions = 0;
    session_ = ++sessions;
    auto window = std::make_unique<QQuickView>(&FeedbackComposerQml::engine(), nullptr);
    window->setTitle(tr("Send Feedback"));
    // A dialog with a title and a close button only: the fixed size rules out maximising, and the
    // flags leave minimising out of the Motif functions, which most window managers follow (openbox
    // keeps minimise for every dialog by its own policy). Made the dialog of the owner's front
    // window, it stays above that window and goes with it.
    window->setFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (const std::optional<std::uint64_t> owner = FeedbackExternalHost::ownerFrontWindowId()) {
        ownerWindow_.reset(QWindow::fromWinId(WId(*owner)));
        window->setTransientParent(ownerWindow_.get());
    }
    window->setMinimumSize(contentSize);
    window->setMaximumSize(contentSize);
    window->resize(contentSize);
    window->setResizeMode(QQuickView::SizeRootObjectToView);
    window->setColor(QGuiApplication::palette().color(QPalette::Window));

    // The form's close action closes this window; once the window is gone the connection is too.
    view_ = std::make_unique<FeedbackView>(intent, std::move(screenshot));
    QObject::connect(view_.get(), &FeedbackView::closeRequested, window.get(), &QWindow::close);
    QObject::connect(view_.get(), &FeedbackView::submitFinished, this, [](bool accepted) {
        trace(accepted ? QStringLiteral("report accepted") : QStringLiteral("report not accepted"));
        // The diagnostics code went with this report; it must not ride on another one.
        if (accepted)
            Feedback::setComposerDiagCode(std::nullopt);
    });
    window->setInitialProperties({{QStringLiteral("view"), QVariant::fromValue(view_.get())}});
    window->setSource(FeedbackComposerQml::composerUrl());
    if (window->status() == QQuickView::Error) {
        for (const QQmlError& error : window->errors())
            qCWarning(lcFeedbackComposer).noquote() << QStringLiteral("composer: ") + error.toString();
    }

    // The close button of the frame and the form's close action both arrive as a close event.
    window->installEventFilter(this);
    QObject::connect(
        window.get(), &QQuickWindow::frameSwapped, this, [] { trace(QStringLiteral("window shown")); },
        Qt::SingleShotConnection);

    // Centred on the screen it opens on.
    if (QScreen* screen = window->screen()) {
        const QRect available = screen->availableGeometry();
        window->setPosition(available.center() - QPoint(contentSize.width() / 2, contentSize.height() / 2));
    }
    window_ = std::move(window);
    bringForward(window_.get());
}

void FeedbackComposerWindow::bringForward(QQuickView* window) {
    window->show();
    window->raise();
    window->requestActivate();
}

bool FeedbackComposerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get()) {
        if (event->type() == QEvent::Close)
            windowWillClose();
        else if (event->type() == QEvent::Expose && !exposed_) {
            // The window system has mapped the window; its first frame follows ("window shown").
            exposed_ = true;
            trace(QStringLiteral("window exposed"));
        }
    }
    return QObject::eventFilter(watched, event);
}

void FeedbackComposerWindow::windowWillClose() {
    std::shared_ptr<FeedbackComposerWindow> keep;
    if (current().get() == this)
        keep = std::exchange(current(), nullptr);
    trace(QStringLiteral("window closed"));
    // A diagnostics code asked for this composer belongs to it alone.
    Feedback::setComposerDiagCode(std::nullopt);
    // After the close event is over: the window is gone from the screen when the owner comes forward,
    // and this object (with its window) lives until then.
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [keep = std::move(keep)] { FeedbackExternalHost::returnToOwner(); });
}
