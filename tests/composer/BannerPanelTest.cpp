// The offer banner: its view model over the offer machine, and its panel under the display (Xvfb with
// openbox in the test runs): where it goes over another process's window, in one of ours and alone on
// the screen; clicks with xdotool on its buttons that never make it the active window; clicks on its
// transparent margins that reach the window beneath; attaching to and detaching from its anchor; and a
// picture of it over a window (saved as a test artifact).

#include "BannerPlacement.h"
#include "BannerWindowPresenter.h"
#include "DesktopWindows.h"
#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackBannerPanel.h"
#include "FeedbackBannerView.h"
#include "FeedbackComposerQml.h"
#include "FeedbackComposerWindow.h"
#include "FeedbackReporter.h"
#include "FeedbackSymbol.h"
#include "ItemSearch.h"

#include <QAccessible>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;
using Trigger = FeedbackReporter::Trigger;

// Lets the event loop run for a while: for animations to come to rest, where no event says so.
void settle(std::chrono::milliseconds duration) {
    waitUntil([] { return false; }, duration);
}

// A real click of the pointer at that point of the screen (device pixels), as the user makes it.
void clickAt(QPoint screenPoint) {
    ASSERT_TRUE(runProgram(QStringLiteral("xdotool"),
                           {QStringLiteral("mousemove"), QString::number(screenPoint.x()),
                            QString::number(screenPoint.y()), QStringLiteral("click"), QStringLiteral("1")}));
}

// The window the window manager calls active (_NET_ACTIVE_WINDOW), or 0.
quint64 activeWindowId() {
    const auto out =
        runProgram(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("0x([0-9a-f]+)")).match(out.value_or(QString()));
    return m.hasMatch() ? m.captured(1).toULongLong(nullptr, 16) : 0;
}

// One property of a window as xprop prints it.
QString windowProperty(WId window, const char* name) {
    return runProgram(QStringLiteral("xprop"),
                      {QStringLiteral("-id"), QString::number(window), QString::fromLatin1(name)})
        .value_or(QString());
}

// The screen point at the centre of an item, in device pixels.
QPoint centreOf(QQuickItem* item) {
    const QPointF local(item->width() / 2, item->height() / 2);
    return (item->mapToGlobal(local) * item->window()->devicePixelRatio()).toPoint();
}

QString accessibleName(QQuickItem* item) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// A window of ours that counts the presses it receives.
class CountingWindow : public QRasterWindow {
public:
    CountingWindow(const QString& title, QRect geometry, Qt::WindowFlags extra = {}) {
        setTitle(title);
        setFlags(Qt::Window | extra);
        setGeometry(geometry);
    }
    int presses = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(226, 232, 240));
    }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// The other process's window, as the owner's: composer_test_window.
class OwnerProgram {
public:
    bool start(int width, int height) {
        process.start(QStringLiteral(MORVIK_TEST_WINDOW_PATH),
                      {QStringLiteral("Owner"), QString::number(width), QString::number(height)});
        if (!process.waitForStarted(5000))
            return false;
        const bool shown = waitUntil([&] { return process.canReadLine(); }, 15s);
        if (!shown)
            return false;
        const QString line = QString::fromLatin1(process.readLine()).trimmed();
        pid = line.section(QLatin1Char(' '), 1).toInt();
        return line.startsWith(QLatin1String("shown ")) && pid > 0;
    }
    ~OwnerProgram() {
        process.closeWriteChannel();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    QProcess process;
    std::int32_t pid = 0;
};

// After the last test: the panel and its window go, then the QML engine, so that the leak checker sees
// everything returned.
class QmlEngineTeardown : public ::testing::Environment {
public:
    void TearDown() override {
        FeedbackBannerPanel::shutDown();
        waitUntil([] { return false; }, std::chrono::milliseconds(50));
        FeedbackComposerQml::shutDown();
    }
};
const auto* const qmlEngineTeardown = ::testing::AddGlobalTestEnvironment(new QmlEngineTeardown);

// The view model and the offer machine, with a clock of the test's own and recording surfaces that
// reach the real panel.
class BannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        Feedback::setSuppressPrompts(false);
        Feedback::setLogHandler([this](const QString& line) { lines.append(line); });
        reporter.setClock([this] { return now; });
        reporter.setSurfaces({
            [this] {
                if (withPanel)
                    presenter.prepare();
            },
            [this] {
                if (withPanel)
                    presenter.show();
            },
            [this] {
                if (withPanel)
                    presenter.hide();
            },
            [] { return std::optional<QByteArray>(); },
            [] { return false; },
            [this](FeedbackIntent intent, std::optional<QByteArray>) { presented.append(intent); },
            {},
            {},
        });
    }
    void TearDown() override {
        reporter.resetForTesting();
        reporter.setSurfaces({});
        reporter.setClock([] { return std::chrono::steady_clock::now(); });
        FeedbackBannerPanel::shared().setOwnerFrameForTesting({});
        Feedback::resetForTests();
    }
    // An offer the spacing rule lets through.
    void offer(Trigger trigger) {
        now += 5s;
        reporter.offer(trigger);
    }

    FeedbackReporter& reporter = FeedbackReporter::shared();
    BannerWindowPresenter presenter;
    bool withPanel = false;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    QStringList lines;
    QList<FeedbackIntent> presented;
};

TEST_F(BannerTest, ViewFollowsTheOfferAndActsOnIt) {
    FeedbackBannerView view(reporter);
    int changes = 0;
    QObject::connect(&view, &FeedbackBannerView::phaseChanged, [&] { ++changes; });
    EXPECT_FALSE(view.offering());
    EXPECT_EQ(view.title(), QString());
    EXPECT_EQ(view.symbol(), QString());
    EXPECT_EQ(view.subtitle(), QStringLiteral("Ideas we build and bugs we confirm earn $10."));

    // Each trigger has its wording and symbol, and the symbols are ones the banner can draw.
    const struct {
        Trigger trigger;
        const char* title;
        const char* symbol;
    } cases[] = {{Trigger::screenshot, "Screenshot taken", "camera.viewfinder"},
                 {Trigger::shake, "Shake detected", "iphone.gen3.radiowaves.left.and.right"}};
    for (const auto& c : cases) {
        offer(c.trigger);
        EXPECT_TRUE(view.offering());
        EXPECT_EQ(view.title(), QString::fromLatin1(c.title));
        EXPECT_EQ(view.symbol(), QString::fromLatin1(c.symbol));
        EXPECT_TRUE(FeedbackSymbol::knows(view.symbol()));
        reporter.dismiss(QStringLiteral("test"));
        EXPECT_EQ(view.title(), QString());
    }
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(FeedbackSymbol::knows(QStringLiteral("xmark")));

    // Close withdraws the offer as the user's; "Tell us" opens the composer with intent idea.
    offer(Trigger::screenshot);
    view.close();
    EXPECT_FALSE(reporter.offering());
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: banner dismissed (user)"));
    offer(Trigger::screenshot);
    view.tellUs();
    EXPECT_FALSE(reporter.offering());
    EXPECT_EQ(presented, QList<FeedbackIntent>{FeedbackIntent::idea});
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: opening the sheet (comment + optional diagnostics)"));
    // Both act only on an offer on screen.
    view.tellUs();
    view.close();
    EXPECT_EQ(presented.size(), 1);
}

TEST_F(BannerTest, ColoursFollowTheAccentSetLast) {
    FeedbackBannerView view(reporter);
    EXPECT_EQ(view.capsule(), QColor::fromRgbF(0.1f, 0.11f, 0.145f));
    EXPECT_EQ(view.subtitleInk(), QColor::fromRgbF(0.659f, 0.675f, 0.722f));
    for (const QColor& accent : {QColor(255, 200, 0), QColor(20, 40, 160)}) {
        Feedback::setAccentColor(accent);
        EXPECT_EQ(view.accent(), accent);
        EXPECT_EQ(view.accentInk(), Feedback::accentInk(accent));
    }
    EXPECT_NE(Feedback::accentInk(QColor(255, 200, 0)), Feedback::accentInk(QColor(20, 40, 160)));
}

class BannerPanelTest : public BannerTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        BannerTest::SetUp();
        withPanel = true;
        screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    }

    QQuickView* panelWindow() { return FeedbackBannerPanel::shared().window(); }
    // Offers and waits until the banner is on screen with its first frame drawn.
    QQuickView* offerAndWait(Trigger trigger = Trigger::screenshot) {
        offer(trigger);
        QQuickView* window = panelWindow();
        if (!window || !waitUntil([&] { return window->isExposed(); }))
            return nullptr;
        return window;
    }
    QQuickItem* item(const char* name) {
        QQuickItem* found = findItem(panelWindow()->rootObject(), QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void showAndActivate(QWindow& window) {
        window.show();
        window.requestActivate();
        ASSERT_TRUE(waitUntil([&] { return window.isExposed() && window.isActive(); }));
    }
    // The panel's frame as the placement rules have it (bottom-left points).
    QRectF placed(const QRectF& frame) { return QRectF(BannerPlacement::toTopLeft(frame, screenHeight)); }

    double screenHeight = 0;
};

TEST_F(BannerPanelTest, OverAnotherProcesssWindowClicksNeverActivateTheBanner) {
    OwnerProgram owner;
    ASSERT_TRUE(owner.start(600, 360));
    ASSERT_TRUE(waitUntil([&] { return DesktopWindows::system().activeProcess() == owner.pid; }));
    const quint64 ownerActive = activeWindowId();
    FeedbackBannerPanel::shared().setOwnerFrameForTesting(
        [pid = owner.pid] { return FeedbackBannerPanel::frontWindowOf(pid); });

    QQuickView* window = offerAndWait();
    ASSERT_NE(window, nullptr);
    // The owner's frame (with its title bar) as the window list has it, top-left origin; the list counts
    // device pixels, windows are placed in device-independent ones.
    const double ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    QRectF ownerFrame;
    for (const DesktopWindow& entry :
         DesktopWindows::system().windowList().value_or(QList<DesktopWindow>{})) {
        if (entry.pid != owner.pid)
            continue;
        const QRect& b = entry.bounds;
        ownerFrame = QRectF(b.x() / ratio, b.y() / ratio, b.width() / ratio, b.height() / ratio);
        break;
    }
    ASSERT_FALSE(ownerFrame.isEmpty());
    // Centred on the owner's window, 600 wide: the widest capsule; its top 34 below the window's top
    // (whole points, rounded outwards).
    const double centre = ownerFrame.center().x();
    const int left = int(std::floor(centre - 264));
    const int top = int(std::floor(ownerFrame.y() + 34 - 12));
    const QRect expected(left, top, int(std::ceil(centre + 264)) - left,
                         int(std::ceil(ownerFrame.y() + 34 - 12 + 108)) - top);
    EXPECT_TRUE(waitUntil([&] { return window->geometry() == expected; }))
        << window->geometry().x() << "," << window->geometry().y() << " " << window->width() << "x"
        << window->height() << " expected " << expected.x() << "," << expected.y();
    EXPECT_EQ(FeedbackBannerPanel::shared().level(), BannerPlacement::floatingLevel);
    EXPECT_EQ(FeedbackBannerPanel::shared().anchor(), nullptr);
    EXPECT_EQ(window->transientParent(), nullptr);
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowStaysOnTopHint));

    // What the banner says, and to screen readers.
    EXPECT_EQ(item("bannerTitle")->property("text").toString(), QStringLiteral("Screenshot taken"));
    EXPECT_EQ(item("bannerSymbol")->property("name").toString(), QStringLiteral("camera.viewfinder"));
    EXPECT_EQ(item("tellUsButton")->property("text").toString(), QStringLiteral("Tell us"));
    EXPECT_EQ(accessibleName(item("tellUsButton")), QStringLiteral("Share an idea or report a problem"));
    EXPECT_EQ(accessibleName(item("dismissButton")), QStringLiteral("Dismiss"));

    // What the window manager is told: no focus to offer, no input to take.
    const QString protocols = windowProperty(window->winId(), "WM_PROTOCOLS");
    EXPECT_TRUE(protocols.contains(QLatin1String("WM_DELETE_WINDOW"))) << protocols.toStdString();
    EXPECT_FALSE(protocols.contains(QLatin1String("WM_TAKE_FOCUS"))) << protocols.toStdString();
    EXPECT_TRUE(
        windowProperty(window->winId(), "WM_HINTS").contains(QLatin1String("input or input focus: False")));

    // A picture of it over the owner's window, once it has come to rest.
    settle(700ms);
    const QRect around = ownerFrame.toAlignedRect();
    const auto grabbed = QGuiApplication::primaryScreen()->grabWindow(0, around.x() - 20, around.y() - 20,
                                                                      around.width() + 40, 220);
    ASSERT_FALSE(grabbed.isNull());
    EXPECT_TRUE(grabbed.save(QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS)))
                                 .filePath(QStringLiteral("banner-over-window.png"))));
    // And the panel as drawn, transparent margins (and, where the renderer draws it, the shadow) kept.
    const QImage panel = window->grabWindow();
    EXPECT_EQ(panel.size(), window->size() * window->devicePixelRatio());
    EXPECT_TRUE(panel.hasAlphaChannel());
    EXPECT_EQ(qAlpha(panel.pixel(2, 2)), 0) << "the corner of the margin is transparent";
    EXPECT_TRUE(panel.save(QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS)))
                               .filePath(QStringLiteral("banner-panel.png"))));

    // "Tell us", clicked as the user clicks it: the offer is taken, the owner stays active.
    clickAt(centreOf(item("tellUsButton")));
    ASSERT_TRUE(waitUntil([&] { return !reporter.offering(); }));
    EXPECT_EQ(presented, QList<FeedbackIntent>{FeedbackIntent::idea});
    EXPECT_TRUE(
        lines.contains(QStringLiteral("feedback: opening the sheet (comment + optional diagnostics)")));
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));

    // The close button, the same way.
    window = offerAndWait(Trigger::shake);
    ASSERT_NE(window, nullptr);
    settle(400ms); // the slide in ends before the click
    clickAt(centreOf(item("dismissButton")));
    ASSERT_TRUE(waitUntil([&] { return !reporter.offering(); }));
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: banner dismissed (user)"));
    EXPECT_FALSE(lines.contains(QStringLiteral("feedback: banner dismissed (owner went to the background)")));

    // Never the active window: the owner's stays active throughout.
    EXPECT_EQ(DesktopWindows::system().activeProcess(), owner.pid);
    EXPECT_EQ(activeWindowId(), ownerActive);
    EXPECT_FALSE(window->isActive());
    EXPECT_EQ(QGuiApplication::focusWindow(), nullptr);
}

TEST_F(BannerPanelTest, InOurWindowAttachedOnceAndAloneOnTheScreen) {
    CountingWindow first(QStringLiteral("First"), QRect(120, 160, 700, 420));
    showAndActivate(first);
    ASSERT_EQ(FeedbackBannerPanel::anchorWindow(), &first);

    QQuickView* window = offerAndWait();
    ASSERT_NE(window, nullptr);
    int attachments = 0;
    QObject::connect(window, &QWindow::transientParentChanged,
                     [&](QWindow* parent) { attachments += parent != nullptr; });
    // Centred on the window's frame, the capsule's top 6 points below the top of its client area.
    const QRect frame = first.frameGeometry();
    const double centre = frame.x() + frame.width() / 2.0;
    const int left = int(std::floor(centre - 264));
    const QRect expected(left, first.geometry().y() + 6 - 12, int(std::ceil(centre + 264)) - left, 108);
    EXPECT_TRUE(waitUntil([&] { return window->geometry() == expected; }))
        << window->geometry().x() << "," << window->geometry().y() << " expected " << expected.x() << ","
        << expected.y();
    EXPECT_EQ(window->transientParent(), &first);
    EXPECT_EQ(FeedbackBannerPanel::shared().anchor(), &first);
    EXPECT_EQ(FeedbackBannerPanel::shared().level(), FeedbackBannerPanel::normalLevel);
    EXPECT_FALSE(window->flags().testFlag(Qt::WindowStaysOnTopHint));
    const QString transientFor = QStringLiteral("0x%1").arg(first.winId(), 0, 16);
    EXPECT_TRUE(windowProperty(window->winId(), "WM_TRANSIENT_FOR").contains(transientFor));
    EXPECT_FALSE(windowProperty(window->winId(), "WM_PROTOCOLS").contains(QLatin1String("WM_TAKE_FOCUS")));

    // Shown again on the same window: attached once.
    offer(Trigger::screenshot);
    EXPECT_EQ(window->transientParent(), &first);
    EXPECT_EQ(attachments, 0);

    // Another window of ours in front, kept on top: the banner moves over to it, at its level.
    CountingWindow second(QStringLiteral("Second"), QRect(600, 300, 500, 360), Qt::WindowStaysOnTopHint);
    showAndActivate(second);
    ASSERT_EQ(FeedbackBannerPanel::anchorWindow(), &second);
    offer(Trigger::screenshot);
    ASSERT_TRUE(waitUntil([&] { return window->isExposed(); }));
    window = panelWindow();
    EXPECT_EQ(window->transientParent(), &second);
    EXPECT_EQ(FeedbackBannerPanel::shared().level(), BannerPlacement::floatingLevel);
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(windowProperty(window->winId(), "WM_TRANSIENT_FOR")
                    .contains(QStringLiteral("0x%1").arg(second.winId(), 0, 16)));
    // Made anew for the change of stacking, and prepared again before it was shown.
    EXPECT_FALSE(windowProperty(window->winId(), "WM_PROTOCOLS").contains(QLatin1String("WM_TAKE_FOCUS")));

    // Hidden: detached from its window.
    reporter.dismiss(QStringLiteral("test"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->transientParent(), nullptr);
    EXPECT_EQ(FeedbackBannerPanel::shared().anchor(), nullptr);

    // Windows that are no home for the banner: too small, a popup, hidden ones. Alone, it goes near
    // the top right of the screen's available area, kept on top.
    second.hide();
    first.hide();
    CountingWindow small(QStringLiteral("Small"), QRect(100, 100, 279, 300), Qt::FramelessWindowHint);
    CountingWindow popup(QStringLiteral("Popup"), QRect(100, 500, 400, 300), Qt::Popup);
    small.show();
    popup.show();
    ASSERT_TRUE(waitUntil([&] { return small.isExposed() && popup.isExposed(); }));
    EXPECT_EQ(FeedbackBannerPanel::anchorWindow(), nullptr);
    popup.hide();
    window = offerAndWait();
    ASSERT_NE(window, nullptr);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect alone(available.x() + available.width() - 12 - 460 - 34, available.y() + 8 - 12, 528, 108);
    EXPECT_TRUE(waitUntil([&] { return window->geometry() == alone; }))
        << window->geometry().x() << "," << window->geometry().y() << " expected " << alone.x() << ","
        << alone.y();
    EXPECT_EQ(window->transientParent(), nullptr);
    EXPECT_EQ(FeedbackBannerPanel::shared().level(), BannerPlacement::statusBarLevel);
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(BannerPanelTest, SnapshotOfTheAnchorWindowWhenItIsAQtQuickWindow) {
    // A plain window of ours as the anchor: there is nothing to draw it with.
    CountingWindow plain(QStringLiteral("Plain"), QRect(100, 100, 600, 400));
    showAndActivate(plain);
    ASSERT_EQ(FeedbackBannerPanel::anchorWindow(), &plain);
    EXPECT_EQ(presenter.captureAnchorWindow(), std::nullopt);

    QQuickWindow quick;
    quick.setColor(QColor(40, 120, 200));
    quick.setGeometry(QRect(150, 150, 640, 400));
    showAndActivate(quick);
    ASSERT_EQ(FeedbackBannerPanel::anchorWindow(), &quick);
    const std::optional<QByteArray> snapshot = presenter.captureAnchorWindow();
    ASSERT_TRUE(snapshot.has_value());
    const QImage image = QImage::fromData(*snapshot, "JPEG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(640, 400) * quick.devicePixelRatio());
    EXPECT_NEAR(QColor(image.pixel(320, 200)).blue(), 200, 8);
}

// Claims the compositing manager's selection on a connection of its own while it lives, so that the
// banner believes translucent windows are blended (nothing is blended: only what takes clicks is
// looked at).
class CompositorClaim {
public:
    CompositorClaim() {
        int screen = 0;
        xcb = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(xcb))
            return;
        const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(xcb, xcb_intern_atom(xcb, 0, uint16_t(name.size()), name.c_str()), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data->root;
        const xcb_window_t owner = xcb_generate_id(xcb);
        xcb_create_window(xcb, XCB_COPY_FROM_PARENT, owner, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(xcb, owner, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        std::free(xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
    }
    ~CompositorClaim() { xcb_disconnect(xcb); }

private:
    xcb_connection_t* xcb = nullptr;
};

// With and without a compositor (without one, the window is cut to the capsule; with one, only its
// input shape keeps clicks on the margins from the banner).
TEST_F(BannerPanelTest, ClicksOnTheTransparentMarginReachTheWindowBeneath) {
    for (const bool compositing : {false, true}) {
        SCOPED_TRACE(compositing ? "compositing" : "no compositor");
        std::optional<CompositorClaim> claim;
        if (compositing)
            claim.emplace();
        CountingWindow beneath(QStringLiteral("Beneath"), QRect(200, 200, 700, 420));
        showAndActivate(beneath);
        QQuickView* window = offerAndWait();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(window->transientParent(), &beneath);
        EXPECT_EQ(FeedbackBannerPanel::shared().cutToCapsule(), !compositing);
        // The window system's view: shaped to the capsule without a compositor, whole with one.
        const QString shape =
            runProgram(QStringLiteral("xwininfo"),
                       {QStringLiteral("-shape"), QStringLiteral("-id"), QString::number(window->winId())})
                .value_or(QString());
        const int r = int(window->devicePixelRatio());
        const QString capsuleExtents = QStringLiteral("Window shape extents:  %1x%2+%3+%4")
                                           .arg(460 * r)
                                           .arg(54 * r)
                                           .arg(34 * r)
                                           .arg(12 * r);
        EXPECT_EQ(shape.contains(capsuleExtents), !compositing) << shape.toStdString();
        EXPECT_EQ(shape.contains(QLatin1String("No window shape defined")), compositing)
            << shape.toStdString();
        settle(400ms);
        const double ratio = window->devicePixelRatio();
        const QRect panel = window->geometry();

        // Below the capsule, in the room left for its shadow: the window beneath gets the click.
        clickAt((QPointF(panel.center().x(), panel.y() + 12 + 54 + 20) * ratio).toPoint());
        EXPECT_TRUE(waitUntil([&] { return beneath.presses == 1; }));
        // Left of the capsule, and just off its rounded end, too.
        clickAt((QPointF(panel.x() + 10, panel.y() + 12 + 27) * ratio).toPoint());
        EXPECT_TRUE(waitUntil([&] { return beneath.presses == 2; }));
        clickAt((QPointF(panel.x() + 34 + 3, panel.y() + 12 + 3) * ratio).toPoint());
        EXPECT_TRUE(waitUntil([&] { return beneath.presses == 3; }));
        EXPECT_TRUE(reporter.offering());

        // On the capsule's text: the banner takes it, nothing beneath sees it, the offer stays.
        clickAt(centreOf(item("bannerTitle")));
        settle(300ms);
        EXPECT_EQ(beneath.presses, 3);
        EXPECT_TRUE(reporter.offering());
        EXPECT_TRUE(beneath.isActive());
        EXPECT_NE(activeWindowId(), quint64(window->winId()));
        reporter.dismiss(QStringLiteral("test"));
    }
}

} // namespace
