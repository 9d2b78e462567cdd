// The X11 window list and activation, against real windows under the display (Xvfb with openbox in
// the test runs). Skipped without a display.

#include "DesktopWindows.h"
#include "EventLoopWait.h"
#include "UnavailableDesktopWindows.h"
#include "X11DesktopWindows.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

class PlainWindow : public QRasterWindow {
public:
    explicit PlainWindow(const QString& title, QRect geometry, Qt::WindowFlags extra = {}) {
        setTitle(title);
        setFlags(Qt::Window | extra);
        setGeometry(geometry);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(200, 200, 230));
    }
};

class DesktopWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        windows = X11DesktopWindows::connect();
        ASSERT_NE(windows, nullptr);
    }

    QList<DesktopWindow> ownEntries() {
        QList<DesktopWindow> own;
        const auto list = windows->windowList();
        if (!list)
            return own;
        for (const DesktopWindow& entry : *list)
            if (entry.pid == ::getpid())
                own.append(entry);
        return own;
    }
    // Index of the entry whose frame is the window's frame, or -1.
    int indexOf(const QList<DesktopWindow>& entries, const QWindow& window) {
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].bounds == window.frameGeometry())
                return i;
        return -1;
    }
    void showAndWait(QWindow& window) {
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.isExposed() && window.frameMargins().top() > 0; }));
    }

    std::unique_ptr<X11DesktopWindows> windows;
};

TEST_F(DesktopWindowsTest, ListsMappedWindowsFrontFirstWithTheirFrames) {
    PlainWindow back(QStringLiteral("Back"), QRect(100, 120, 500, 300));
    PlainWindow front(QStringLiteral("Front"), QRect(300, 220, 620, 380));
    showAndWait(back);
    showAndWait(front);
    front.raise();
    ASSERT_TRUE(waitUntil([&] {
        const auto own = ownEntries();
        return indexOf(own, front) >= 0 && indexOf(own, back) > indexOf(own, front);
    })) << "front window listed before the back one";
    for (const DesktopWindow& entry : ownEntries()) {
        EXPECT_EQ(entry.layer, DesktopWindows::normalLayer);
        EXPECT_EQ(entry.alpha, std::nullopt);
        // The frame includes the title bar the window manager drew.
        EXPECT_GT(entry.bounds.height(), 300);
    }

    back.raise();
    ASSERT_TRUE(waitUntil([&] {
        const auto own = ownEntries();
        return indexOf(own, back) >= 0 && indexOf(own, front) > indexOf(own, back);
    }));

    back.setOpacity(0.5);
    ASSERT_TRUE(waitUntil([&] {
        const auto own = ownEntries();
        const int i = indexOf(own, back);
        return i >= 0 && own[i].alpha.has_value();
    }));
    const auto own = ownEntries();
    EXPECT_NEAR(own[indexOf(own, back)].alpha.value_or(-1), 0.5, 0.01);

    back.hide();
    ASSERT_TRUE(waitUntil([&] { return indexOf(ownEntries(), back) < 0; }))
        << "hidden windows are not listed";
    front.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return ownEntries().isEmpty(); })) << "minimised windows are not listed";
}

TEST_F(DesktopWindowsTest, WindowsKeptAboveAreOnTheFloatingLayer) {
    PlainWindow above(QStringLiteral("Above"), QRect(200, 200, 400, 300), Qt::WindowStaysOnTopHint);
    showAndWait(above);
    ASSERT_TRUE(waitUntil([&] {
        const auto own = ownEntries();
        return own.size() == 1 && own[0].layer == DesktopWindows::aboveLayer;
    }));
}

TEST_F(DesktopWindowsTest, ActivatesAProcessAndReportsTheActiveOne) {
    PlainWindow mine(QStringLiteral("Mine"), QRect(80, 80, 500, 320));
    showAndWait(mine);

    QProcess other;
    other.start(QStringLiteral(MORVIK_TEST_WINDOW_PATH), {QStringLiteral("Other")});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return other.canReadLine(); }));
    ASSERT_TRUE(other.readLine().startsWith("shown"));
    const auto otherPid = std::int32_t(other.processId());

    ASSERT_TRUE(windows->activateProcess(otherPid));
    ASSERT_TRUE(waitUntil([&] { return windows->activeProcess() == otherPid; }));
    EXPECT_TRUE(windows->activateProcess(::getpid()));
    ASSERT_TRUE(waitUntil([&] { return windows->activeProcess() == ::getpid(); }));
    EXPECT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == &mine; }));

    // A minimised window comes back when its process is activated.
    mine.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return ownEntries().isEmpty(); }));
    EXPECT_TRUE(windows->activateProcess(::getpid()));
    EXPECT_TRUE(waitUntil([&] { return !ownEntries().isEmpty() && windows->activeProcess() == ::getpid(); }));

    // A process without windows cannot be activated.
    QProcess windowless;
    windowless.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(windowless.waitForStarted());
    EXPECT_FALSE(windows->activateProcess(std::int32_t(windowless.processId())));
    EXPECT_FALSE(windows->activateProcess(0));
    windowless.kill();
    windowless.waitForFinished();

    other.closeWriteChannel();
    EXPECT_TRUE(other.waitForFinished(10000));
}

TEST(UnavailableDesktopWindows, OffersNothing) {
    UnavailableDesktopWindows none;
    EXPECT_EQ(none.windowList(), std::nullopt);
    EXPECT_FALSE(none.activateProcess(::getpid()));
    EXPECT_EQ(none.activeProcess(), std::nullopt);
    EXPECT_EQ(X11DesktopWindows::connect(":999"), nullptr);
}

} // namespace
