#include "FirstComposerClock.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

namespace {

FirstComposerClock* running = nullptr;
QtMessageHandler previousHandler = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (running && message.startsWith(QLatin1String("composer: ")))
        QMetaObject::invokeMethod(running, "composerLine", Qt::QueuedConnection, Q_ARG(QString, message));
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, message);
}

QQuickItem* find(QQuickItem* from, const QString& name) {
    if (from->objectName() == name)
        return from;
    for (QQuickItem* child : from->childItems()) {
        if (QQuickItem* found = find(child, name))
            return found;
    }
    return nullptr;
}

double elapsedMs(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

FirstComposerClock::FirstComposerClock(QString mode)
    : mode_(std::move(mode)) {
    running = this;
    QLoggingCategory::setFilterRules(QStringLiteral("morvik.feedback.composer.debug=true"));
    previousHandler = qInstallMessageHandler(handleMessage);
}

FirstComposerClock::~FirstComposerClock() {
    running = nullptr;
    qInstallMessageHandler(previousHandler);
}

bool FirstComposerClock::start(QQuickWindow* page) {
    if (mode_ != QLatin1String("window") && mode_ != QLatin1String("sheet")) {
        std::fprintf(stderr, "unknown measurement: %s (window or sheet)\n", qPrintable(mode_));
        return false;
    }
    page_ = page;
    connect(page, &QQuickWindow::frameSwapped, this, &FirstComposerClock::pageFrame, Qt::QueuedConnection);
    QTimer::singleShot(20000, this, [this] { finish(false); });
    return true;
}

void FirstComposerClock::click() {
    QQuickItem* target = mode_ == QLatin1String("window")
                             ? find(page_->contentItem(), QStringLiteral("composerWindow"))
                             : [this]() -> QQuickItem* {
        QQuickItem* section = find(page_->contentItem(), QStringLiteral("ownSection"));
        return section ? find(section, QStringLiteral("shareIdea")) : nullptr;
    }();
    if (!target) {
        finish(false);
        return;
    }
    const QPointF local(target->width() / 2, target->height() / 2);
    const QPointF scene = target->mapToScene(local);
    const QPointF global = page_->mapToGlobal(scene.toPoint());
    clicked_ = true;
    sinceClick_.start();
    QMouseEvent press(QEvent::MouseButtonPress, scene, scene, global, Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(page_, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, scene, scene, global, Qt::LeftButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(page_, &release);
}

void FirstComposerClock::composerLine(const QString& line) {
    if (!clicked_ || mode_ != QLatin1String("window"))
        return;
    if (line == QLatin1String("composer: window exposed") && !exposedMs_)
        exposedMs_ = elapsedMs(sinceClick_);
    else if (line == QLatin1String("composer: window shown"))
        finish(true);
}

void FirstComposerClock::pageFrame() {
    if (!clicked_) {
        // The page is on screen: click on the next turn of the event loop, as a user would.
        QTimer::singleShot(0, this, &FirstComposerClock::click);
        clicked_ = true; // no second click from later frames
        return;
    }
    if (mode_ != QLatin1String("sheet") || !sinceClick_.isValid())
        return;
    QQuickItem* section = find(page_->contentItem(), QStringLiteral("ownSection"));
    auto* sheet = section ? section->property("sheet").value<QObject*>() : nullptr;
    if (sheet && sheet->property("composer").value<QObject*>())
        finish(true);
}

void FirstComposerClock::finish(bool measured) {
    if (finished_)
        return;
    finished_ = true;
    if (!measured) {
        std::printf("first composer %s: not on screen within 20 s\n", qPrintable(mode_));
    } else if (mode_ == QLatin1String("window")) {
        std::printf("first composer window: exposed %.1f ms, shown %.1f ms\n", exposedMs_.value_or(-1),
                    elapsedMs(sinceClick_));
    } else {
        std::printf("first composer sheet: shown %.1f ms\n", elapsedMs(sinceClick_));
    }
    std::fflush(stdout);
    QCoreApplication::exit(measured ? 0 : 1);
}
