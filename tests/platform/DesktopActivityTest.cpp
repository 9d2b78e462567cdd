// Desktop activity events from the X server, against real windows of other processes under the
// display (Xvfb with openbox in the test runs). The display tests are skipped without a display.

#include "DesktopActivity.h"
#include "EventLoopWait.h"
#include "UnavailableDesktopActivity.h"
#include "X11DesktopActivity.h"
#include "X11DesktopWindows.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

using namespace std::chrono_literals;

namespace {

// Runs the event loop for a while, for tests that show that nothing happens.
void runFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// A window in another process (the composer tests' window program), ended with its standard input.
class OtherWindow {
public:
    explicit OtherWindow(const QString& title) {
        process_.start(QStringLiteral(MORVIK_TEST_WINDOW_PATH), {title});
        started_ = process_.waitForStarted() && waitUntil([&] { return process_.canReadLine(); }) &&
                   process_.readLine().startsWith("shown");
    }
    ~OtherWindow() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool shown() const { return started_; }
    std::int32_t pid() const { return std::int32_t(process_.processId()); }
    // Ends the process and waits for it; its window goes with it.
    bool close() {
        process_.closeWriteChannel();
        return process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    bool started_ = false;
};

// The test's own xcb connection, for what the window manager's clients do by hand: a window that
// names no process, and writing the root window's properties the way a window manager does.
class RawX {
public:
    RawX() {
        c_ = xcb_connect(nullptr, nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        activeWindow_ = atom("_NET_ACTIVE_WINDOW");
        clientList_ = atom("_NET_CLIENT_LIST");
    }
    ~RawX() { xcb_disconnect(c_); }

    xcb_window_t activeWindow() {
        const QList<std::uint32_t> values = property(activeWindow_, XCB_ATOM_WINDOW);
        return values.isEmpty() ? xcb_window_t(XCB_NONE) : values.first();
    }
    void setActiveWindow(xcb_window_t window) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, activeWindow_, XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(c_);
    }
    // Writes the client list again unchanged. Its change event comes after every change written
    // before it, so once the activity reports it, it has seen all of them.
    void touchClientList() {
        const QList<std::uint32_t> values = property(clientList_, XCB_ATOM_WINDOW);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, clientList_, XCB_ATOM_WINDOW, 32,
                            std::uint32_t(values.size()), values.constData());
        xcb_flush(c_);
    }

    // A mapped top-level window without _NET_WM_PID.
    xcb_window_t mapAnonymousWindow() {
        const xcb_window_t window = xcb_generate_id(c_);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        const std::uint32_t background = screen->white_pixel;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, root_, 200, 200, 400, 300, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
        xcb_map_window(c_, window);
        xcb_flush(c_);
        return window;
    }
    void unmap(xcb_window_t window) {
        xcb_destroy_window(c_, window);
        xcb_flush(c_);
    }
    // Asks the window manager to activate the window, as a pager does.
    void requestActivation(xcb_window_t window) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = activeWindow_;
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c_);
    }
    QList<std::uint32_t> clientList() { return property(clientList_, XCB_ATOM_WINDOW); }

private:
    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::uint16_t(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_NONE);
    }
    QList<std::uint32_t> property(xcb_atom_t name, xcb_atom_t type) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, root_, name, type, 0, 4096), nullptr),
            &std::free);
        QList<std::uint32_t> values;
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
            for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
                values.append(data[i]);
        }
        return values;
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t activeWindow_ = XCB_NONE;
    xcb_atom_t clientList_ = XCB_NONE;
};

class DesktopActivityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        activity = X11DesktopActivity::connect();
        ASSERT_NE(activity, nullptr);
        windows = X11DesktopWindows::connect();
        ASSERT_NE(windows, nullptr);
        raw = std::make_unique<RawX>();
    }

    // Activates the process's window and waits until the activity has followed.
    void activate(std::int32_t pid) {
        ASSERT_TRUE(windows->activateProcess(pid));
        ASSERT_TRUE(waitUntil([&] { return activity->activeProcess() == pid; }));
    }
    // Waits until the activity has handled every change event sent so far.
    void settle() {
        QSignalSpy marker(activity.get(), &DesktopActivity::clientListChanged);
        raw->touchClientList();
        ASSERT_TRUE(waitUntil([&] { return marker.count() > 0; }));
    }

    // Windows of earlier tests may still be on their way out, and the window manager moves the focus
    // as they go: waits until a whole grace passes without a change.
    void comeToRest() {
        for (int round = 0; round < 20; ++round) {
            QSignalSpy moving(activity.get(), &DesktopActivity::clientListChanged);
            QSignalSpy focusing(activity.get(), &DesktopActivity::activeWindowChanged);
            runFor(X11DesktopActivity::noActiveWindowGrace);
            if (moving.count() == 0 && focusing.count() == 0)
                return;
        }
    }

    std::unique_ptr<X11DesktopActivity> activity;
    std::unique_ptr<X11DesktopWindows> windows;
    std::unique_ptr<RawX> raw;
};

TEST_F(DesktopActivityTest, FollowsTheActiveWindowAcrossProcesses) {
    OtherWindow first(QStringLiteral("First"));
    OtherWindow second(QStringLiteral("Second"));
    ASSERT_TRUE(first.shown() && second.shown());
    activate(first.pid());
    settle();

    QSignalSpy changed(activity.get(), &DesktopActivity::activeWindowChanged);
    ASSERT_TRUE(windows->activateProcess(second.pid()));
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }));
    EXPECT_EQ(activity->activeProcess(), second.pid());
    EXPECT_EQ(activity->activeProcess(), windows->activeProcess());

    changed.clear();
    ASSERT_TRUE(windows->activateProcess(first.pid()));
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }));
    EXPECT_EQ(activity->activeProcess(), first.pid());

    // A connection made while a window is active knows its process from the start.
    const auto later = X11DesktopActivity::connect();
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->activeProcess(), first.pid());
}

TEST_F(DesktopActivityTest, AWindowThatNamesNoProcessIsNobodys) {
    OtherWindow named(QStringLiteral("Named"));
    ASSERT_TRUE(named.shown());
    activate(named.pid());

    QSignalSpy changed(activity.get(), &DesktopActivity::activeWindowChanged);
    QSignalSpy listed(activity.get(), &DesktopActivity::clientListChanged);
    const xcb_window_t anonymous = raw->mapAnonymousWindow();
    ASSERT_TRUE(waitUntil([&] { return raw->clientList().contains(anonymous); }));
    EXPECT_TRUE(waitUntil([&] { return listed.count() > 0; }));
    raw->requestActivation(anonymous);
    ASSERT_TRUE(waitUntil([&] { return raw->activeWindow() == anonymous; }));
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }));
    EXPECT_EQ(activity->activeProcess(), std::nullopt);

    // Back to a window with a process.
    changed.clear();
    ASSERT_TRUE(windows->activateProcess(named.pid()));
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }));
    EXPECT_EQ(activity->activeProcess(), named.pid());

    listed.clear();
    raw->unmap(anonymous);
    EXPECT_TRUE(waitUntil([&] { return listed.count() > 0; }));
}

TEST_F(DesktopActivityTest, ReportsWindowsComingAndGoing) {
    QSignalSpy listed(activity.get(), &DesktopActivity::clientListChanged);
    auto other = std::make_unique<OtherWindow>(QStringLiteral("Coming"));
    ASSERT_TRUE(other->shown());
    ASSERT_TRUE(waitUntil([&] { return listed.count() > 0; }));

    listed.clear();
    ASSERT_TRUE(other->close());
    EXPECT_TRUE(waitUntil([&] { return listed.count() > 0; }));
}

TEST_F(DesktopActivityTest, AMomentWithoutAnActiveWindowChangesNothing) {
    OtherWindow owner(QStringLiteral("Owner"));
    ASSERT_TRUE(owner.shown());
    activate(owner.pid());
    comeToRest();
    // The window manager may have moved the focus meanwhile; the owner is active when this begins.
    activate(owner.pid());
    settle();
    const xcb_window_t ownerWindow = raw->activeWindow();
    ASSERT_NE(ownerWindow, xcb_window_t(XCB_NONE));

    // A grace long enough that a busy machine's event loop never runs past it between two steps.
    constexpr auto grace = std::chrono::milliseconds(5000);
    activity->setNoActiveWindowGrace(grace);
    // The window manager passing through "none" and back, as it does while it moves the focus.
    QSignalSpy changed(activity.get(), &DesktopActivity::activeWindowChanged);
    raw->setActiveWindow(XCB_NONE);
    raw->setActiveWindow(ownerWindow);
    settle();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(activity->activeProcess(), owner.pid());
    // Nor later, when the grace for a desktop without an active window would have run out.
    runFor(grace + std::chrono::milliseconds(1000));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(activity->activeProcess(), owner.pid());

    // While "none" lasts, the owner still counts as active; after the grace nothing is.
    raw->setActiveWindow(XCB_NONE);
    settle();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(activity->activeProcess(), owner.pid());
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }));
    // The window manager owns the property and may give the focus to a window again by itself; while
    // the property still says none, nothing is active.
    if (raw->activeWindow() == XCB_NONE) {
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(activity->activeProcess(), std::nullopt);
    }

    // The same window active again is a change after that.
    raw->setActiveWindow(ownerWindow);
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 1; }));
    EXPECT_EQ(activity->activeProcess(), owner.pid());
}

TEST_F(DesktopActivityTest, ASteadyDesktopIsQuiet) {
    OtherWindow other(QStringLiteral("Steady"));
    ASSERT_TRUE(other.shown());
    activate(other.pid());
    settle();
    comeToRest();

    QSignalSpy changed(activity.get(), &DesktopActivity::activeWindowChanged);
    QSignalSpy listed(activity.get(), &DesktopActivity::clientListChanged);
    runFor(X11DesktopActivity::noActiveWindowGrace * 2);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(listed.count(), 0);

    // Rewriting the active window with the same value is no change either.
    raw->setActiveWindow(raw->activeWindow());
    settle();
    EXPECT_EQ(changed.count(), 0);
}

// A display server of the test's own, without a window manager, that the test can take away.
TEST(X11DesktopActivity, StopsQuietlyWhenTheDisplayGoesAway) {
    QProcess server;
    server.setProgram(QStringLiteral("Xvfb"));
    // -displayfd picks a free display number and writes it once the server accepts connections.
    server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("640x480x24")});
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start();
    if (!server.waitForStarted())
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }));
    const QByteArray display = ':' + server.readLine().trimmed();

    const auto activity = X11DesktopActivity::connect(display);
    ASSERT_NE(activity, nullptr);
    EXPECT_TRUE(activity->connected());
    EXPECT_EQ(activity->activeProcess(), std::nullopt) << "no window manager, no active window";

    QSignalSpy changed(activity.get(), &DesktopActivity::activeWindowChanged);
    QSignalSpy listed(activity.get(), &DesktopActivity::clientListChanged);
    server.kill();
    ASSERT_TRUE(server.waitForFinished());
    ASSERT_TRUE(waitUntil([&] { return !activity->connected(); }));
    EXPECT_EQ(activity->activeProcess(), std::nullopt);
    // The dead socket stays readable; a notifier still listening to it would spin the event loop.
    const auto* notifier = activity->findChild<QSocketNotifier*>();
    ASSERT_NE(notifier, nullptr);
    EXPECT_FALSE(notifier->isEnabled());
    // The event loop keeps turning and nothing is reported.
    runFor(100ms);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(listed.count(), 0);
}

TEST(DesktopActivity, WithoutADisplayNothingIsEverActive) {
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    const auto none = DesktopActivity::connect();
    qputenv("DISPLAY", display);
    ASSERT_NE(none, nullptr);
    EXPECT_NE(dynamic_cast<UnavailableDesktopActivity*>(none.get()), nullptr);
    EXPECT_EQ(none->activeProcess(), std::nullopt);
    // A display that cannot be reached is no display either.
    EXPECT_EQ(X11DesktopActivity::connect(":9999"), nullptr);

    if (!display.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const auto x11 = DesktopActivity::connect();
        EXPECT_NE(dynamic_cast<X11DesktopActivity*>(x11.get()), nullptr);
    }
}

} // namespace
