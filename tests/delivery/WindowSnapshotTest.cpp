#include "DeliveryFixture.h"
#include "FeedbackWindowSnapshot.h"
#include "TestImages.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>

namespace {

// A real Qt Quick window on the display, filled red.
class WindowSnapshotTest : public DeliveryFixture {
protected:
    void SetUp() override {
        DeliveryFixture::SetUp();
        window = std::make_unique<QQuickWindow>();
        window->setColor(Qt::red);
        window->resize(240, 160);
    }

    // Shows the window and waits until it is on screen (and, if asked, focused).
    void show(bool focus) {
        window->show();
        if (focus)
            window->requestActivate();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000 &&
               (!window->isExposed() || (focus && QGuiApplication::focusWindow() != window.get())))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(window->isExposed());
        if (focus) {
            ASSERT_EQ(QGuiApplication::focusWindow(), window.get());
        }
    }

    std::unique_ptr<QQuickWindow> window;
};

TEST_F(WindowSnapshotTest, GivenWindowIsGrabbedAsJpeg) {
    show(false);
    const auto bytes = Feedback::captureWindowSnapshot(window.get());
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(TestImages::jpegQuality(*bytes), 80);
    const QImage picture = TestImages::decoded(*bytes);
    EXPECT_EQ(picture.size(), window->size() * window->devicePixelRatio());
    const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 60);
}

TEST_F(WindowSnapshotTest, HiddenWindowGivesNothing) {
    EXPECT_EQ(Feedback::captureWindowSnapshot(window.get()), std::nullopt);
}

TEST_F(WindowSnapshotTest, FocusedWindowIsTheDefault) {
    show(true);
    const auto bytes = Feedback::captureWindowSnapshot();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(TestImages::decoded(*bytes).size(), window->size() * window->devicePixelRatio());
}

TEST_F(WindowSnapshotTest, ProviderComesFirstAndTheWindowStandsIn) {
    show(true);
    Feedback::setSnapshotProvider([](auto done) { done(QByteArray("owner's picture")); });
    EXPECT_EQ(await(Feedback::captureSnapshot()), QByteArray("owner's picture"));

    for (const std::optional<QByteArray>& answer :
         {std::optional<QByteArray>(), std::optional<QByteArray>(QByteArray())}) {
        Feedback::setSnapshotProvider([answer](auto done) { done(answer); });
        const auto bytes = await(Feedback::captureSnapshot());
        ASSERT_TRUE(bytes);
        EXPECT_EQ(TestImages::decoded(*bytes).size(), window->size() * window->devicePixelRatio());
    }
}

TEST_F(WindowSnapshotTest, NoProviderAndNoWindowGivesNothing) {
    std::optional<std::optional<QByteArray>> seen;
    QEventLoop loop;
    Feedback::captureSnapshot([&](std::optional<QByteArray> bytes) {
        seen = bytes;
        loop.quit();
    });
    if (!seen)
        loop.exec();
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, std::nullopt);
}

} // namespace
