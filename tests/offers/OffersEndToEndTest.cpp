// The real helper under Xvfb with openbox, this test as its owner (its process id sent as ownerPID),
// real inotify on a private home folder and the loopback service: a screenshot saved while the owner
// is active brings the banner over the owner's window without taking the focus; it goes away by
// itself, on its close button, or opens the composer with the owner's snapshot. Pictures of the
// banner are saved as test artifacts.

#include "BannerPlacement.h"
#include "DesktopWindows.h"
#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "OwnerDriver.h"
#include "ServiceStandIn.h"
#include "X11DesktopWindows.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Waits for the helper's answers: generous, for a sanitizer build on a busy machine.
constexpr auto patience = 30s;

class OwnerWindow : public QRasterWindow {
public:
    OwnerWindow() {
        setTitle(QStringLiteral("Offer Owner"));
        setGeometry(QRect(120, 90, 880, 600));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), QColor(236, 239, 243));
        painter.fillRect(QRect(0, 0, width(), 40), QColor(60, 78, 120));
        painter.fillRect(QRect(40, 90, 380, 260), QColor(226, 150, 80));
        painter.fillRect(QRect(460, 90, 380, 440), QColor(100, 160, 205));
        painter.setPen(Qt::white);
        painter.drawText(QRect(16, 0, 400, 40), Qt::AlignVCenter, QStringLiteral("Offer Owner — map.plan"));
    }
};

class OffersEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            << "xdotool is needed";
        desktop = X11DesktopWindows::connect();
        ASSERT_NE(desktop, nullptr);
        ASSERT_TRUE(home.isValid());
        for (const char* name : {"config", "data", "runtime", "Pictures/Screenshots", "Elsewhere"}) {
            QDir().mkpath(home.filePath(QString::fromLatin1(name)));
            QFile::setPermissions(home.filePath(QString::fromLatin1(name)),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        standIn = ServiceStandIn::startOnThread();
        ASSERT_NE(standIn, nullptr);
        owner.show();
        owner.requestActivate();
        ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const QByteArray& line : helper.rawLines())
                std::fprintf(stderr, "helper: %s\n", line.constData());
            std::fprintf(stderr, "helper stderr: %s\n", helper.standardError().constData());
        }
        if (other.state() == QProcess::Running) {
            other.closeWriteChannel();
            if (!other.waitForFinished(5000))
                other.kill();
        }
        if (helper.process().state() == QProcess::Running) {
            helper.closeInput();
            EXPECT_EQ(helper.waitForExit(), 0);
        }
    }

    // Starts the helper with a private home folder and configures it with this process as its owner.
    void startHelper(const QStringList& arguments = {}, const QProcessEnvironment& extra = {}) {
        QProcessEnvironment& env = helper.environment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), standIn->baseUrl().toString());
        env.insert(QStringLiteral("MORVIK_ACCOUNT_URL"), standIn->baseUrl().toString());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("FEEDBACK_QA_OFFER"));
        env.remove(QStringLiteral("FEEDBACK_QA_MUTE"));
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        helper.narrateComposer();
        ASSERT_TRUE(helper.start(arguments));
        helper.answerSnapshotsWith(ownerSnapshot());
        helper.writeLine(QStringLiteral(R"({"config":{"appKey":"app-offers","ingestKey":"ingest-offers",)"
                                        R"("productName":"Offer Owner","ownerPID":%1}})")
                             .arg(::getpid())
                             .toUtf8());
        ASSERT_TRUE(helper.waitForReadyCount(1, patience));
    }

    QByteArray ownerSnapshot() {
        const QImage picture = owner.screen()->grabWindow(owner.winId()).toImage();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return bytes;
    }

    // Saves a file the way screenshot tools do: written under a temporary name, then renamed.
    void saveFile(const QString& relativePath, const QByteArray& bytes) {
        QSaveFile file(home.filePath(relativePath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.commit());
    }
    void takeScreenshot(const QString& name = QStringLiteral("Screenshot_1.png")) {
        saveFile(QStringLiteral("Pictures/Screenshots/") + name, OwnerDriver::sampleImage());
    }

    bool ownerIsActive() { return desktop->activeProcess() == ::getpid(); }
    bool helperIsActive() { return desktop->activeProcess() == std::int32_t(helper.process().processId()); }

    // The banner's X11 window while it is mapped; empty when none is. Names are compared here: a
    // name search of xdotool also matches other names a window carries.
    QString visibleBanner() {
        const auto found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--pid"), QString::number(helper.process().processId())});
        for (const QString& window : found.value_or(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (xdotool({QStringLiteral("getwindowname"), window}) == QStringLiteral("Morvik Feedback"))
                return window;
        }
        return {};
    }
    QString bannerWindow() {
        QString banner;
        waitUntil([&] { return !(banner = visibleBanner()).isEmpty(); }, patience);
        return banner;
    }
    // Clicks at a point of the banner's capsule, measured from its top-right corner.
    void clickCapsule(const QRect& panel, int fromRight, int fromTop) {
        const int x = panel.right() + 1 - int(BannerPlacement::shadowSide) - fromRight;
        const int y = panel.top() + int(BannerPlacement::shadowTop) + fromTop;
        ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                             QStringLiteral("click"), QStringLiteral("1")}));
    }
    // The close button sits 14 points in from the capsule's right end, 26 wide; "Tell us" left of it.
    void clickClose(const QRect& panel) { clickCapsule(panel, 14 + 13, 27); }
    void clickTellUs(const QRect& panel) { clickCapsule(panel, 14 + 26 + 12 + 40, 27); }
    std::optional<QRect> geometryOf(const QString& window) {
        const auto shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        if (!shell)
            return std::nullopt;
        QRect rect;
        for (const QString& line : shell->split(QLatin1Char('\n'))) {
            const QString value = line.section(QLatin1Char('='), 1);
            if (line.startsWith(QLatin1String("X=")))
                rect.moveLeft(value.toInt());
            else if (line.startsWith(QLatin1String("Y=")))
                rect.moveTop(value.toInt());
            else if (line.startsWith(QLatin1String("WIDTH=")))
                rect.setWidth(value.toInt());
            else if (line.startsWith(QLatin1String("HEIGHT=")))
                rect.setHeight(value.toInt());
        }
        return rect;
    }
    // Where the banner belongs: centred on the owner's window frame, its capsule 34 points below the
    // frame's top edge.
    std::optional<QRect> expectedBannerFrame() {
        const auto windows = desktop->windowList();
        if (!windows)
            return std::nullopt;
        const double screenHeight = owner.screen()->geometry().height();
        for (const DesktopWindow& window : *windows) {
            if (window.pid != ::getpid())
                continue;
            const QRect& b = window.bounds;
            const QRectF bottomLeft(b.x(), screenHeight - b.y() - b.height(), b.width(), b.height());
            return BannerPlacement::toTopLeft(BannerPlacement::overOwnerWindow(bottomLeft), screenHeight);
        }
        return std::nullopt;
    }

    void picture(const char* name) {
        helper.settle(600ms);
        const QImage image = owner.screen()->grabWindow(0).toImage();
        ASSERT_FALSE(image.isNull());
        ASSERT_TRUE(image.save(
            QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS))).filePath(QString::fromLatin1(name))));
    }

    // Starts the helper, takes a screenshot and waits for the banner to come to rest; its frame.
    void offerOnScreen(QRect& frame) {
        ASSERT_NO_FATAL_FAILURE(startHelper());
        const qsizetype before = helper.messages().size();
        takeScreenshot();
        ASSERT_TRUE(offered(before));
        const QString banner = bannerWindow();
        ASSERT_FALSE(banner.isEmpty());
        const auto geometry = geometryOf(banner);
        ASSERT_TRUE(geometry);
        frame = *geometry;
        helper.settle(500ms); // the banner slides in
    }

    // Whether the offer is taken; waits the whole patience, so use it where it is expected.
    bool offered(qsizetype from) {
        return helper
            .waitFor(
                [](const QJsonObject& m) {
                    return isLog(m, QStringLiteral("screenshot: taken, feedback offered"));
                },
                from, patience)
            .has_value();
    }
    int logCount(const QString& text) const {
        return helper.count([&](const QJsonObject& m) { return isLog(m, text); });
    }

    std::unique_ptr<X11DesktopWindows> desktop;
    QTemporaryDir home;
    std::unique_ptr<ServiceStandIn> standIn;
    OwnerWindow owner;
    OwnerDriver helper;
    QProcess other;
};

TEST_F(OffersEndToEnd, ScreenshotBringsTheBannerOverTheOwnerWhichStaysActive) {
    ASSERT_NO_FATAL_FAILURE(startHelper());
    const qsizetype before = helper.messages().size();
    takeScreenshot();
    ASSERT_TRUE(helper.waitFor(
        [](const QJsonObject& m) { return isLog(m, QStringLiteral("screenshot detected (file)")); }, before,
        patience));
    ASSERT_TRUE(offered(before));
    EXPECT_TRUE(helper.waitFor(OwnerDriver::isSnapshotRequest, before, patience))
        << "the owner's picture for the offer";

    const QString banner = bannerWindow();
    ASSERT_FALSE(banner.isEmpty());
    const auto frame = geometryOf(banner);
    const auto expected = expectedBannerFrame();
    ASSERT_TRUE(frame && expected);
    EXPECT_EQ(*frame, *expected);
    EXPECT_TRUE(ownerIsActive()) << "the banner never takes the focus";
    picture("offers-banner.png");

    // Nothing touched: it withdraws itself after 8 seconds.
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("feedback: banner dismissed (timed out)"), 12s));
    EXPECT_TRUE(waitUntil([&] { return visibleBanner().isEmpty(); }, 5s));
    EXPECT_TRUE(ownerIsActive());
    EXPECT_EQ(logCount(QStringLiteral("feedback: banner dismissed (owner went to the background)")), 0);
}

TEST_F(OffersEndToEnd, CloseButtonDismissesWithoutActivatingTheHelper) {
    QRect frame;
    ASSERT_NO_FATAL_FAILURE(offerOnScreen(frame));
    clickClose(frame);
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("feedback: banner dismissed (user)"), patience));
    EXPECT_TRUE(waitUntil([&] { return visibleBanner().isEmpty(); }, 5s));
    EXPECT_TRUE(ownerIsActive()) << "a click on the banner leaves the owner active";
    EXPECT_EQ(logCount(QStringLiteral("feedback: banner dismissed (owner went to the background)")), 0);
}

TEST_F(OffersEndToEnd, TellUsOpensTheComposerWithTheOwnersSnapshotAndTheReportArrives) {
    QRect frame;
    ASSERT_NO_FATAL_FAILURE(offerOnScreen(frame));
    clickTellUs(frame);
    ASSERT_TRUE(helper.waitForLog(
        QStringLiteral("feedback: opening the sheet (comment + optional diagnostics)"), patience));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: window shown"), 20s));
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); })) << "the composer takes the focus";
    picture("offers-composer.png");
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
                         QStringLiteral("The legend hides the scale bar")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Return")}));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: report accepted"), 60s));
    ASSERT_TRUE(standIn->waitForRequests(QStringLiteral("/report"), 1, 10s));
    const QJsonObject report =
        QJsonDocument::fromJson(standIn->requests(QStringLiteral("/report")).first().body).object();
    EXPECT_EQ(report.value(QStringLiteral("message")).toString(),
              QStringLiteral("The legend hides the scale bar"));
    EXPECT_EQ(report.value(QStringLiteral("intent")).toString(), QStringLiteral("idea"));
    EXPECT_EQ(standIn->requests(QStringLiteral("/screenshot")).size(), 1)
        << "the owner's snapshot went along";
    EXPECT_FALSE(report.value(QStringLiteral("screenshot_url")).toString().isEmpty());
}

TEST_F(OffersEndToEnd, NoOfferForOtherWindowsMoviesOtherFoldersOrOldFiles) {
    // Made before the helper starts, moved into the folder afterwards.
    saveFile(QStringLiteral("Elsewhere/old.png"), OwnerDriver::sampleImage());
    // Older than the watch by more than the file clock's slack: the helper starts in a few tens of
    // milliseconds.
    helper.settle(200ms);
    ASSERT_NO_FATAL_FAILURE(startHelper());
    const qsizetype before = helper.messages().size();

    saveFile(QStringLiteral("Pictures/Screenshots/Recording.mp4"), QByteArray(4096, '\0'));
    saveFile(QStringLiteral("Elsewhere/Screenshot_2.png"), OwnerDriver::sampleImage());
    saveFile(QStringLiteral("Pictures/Screenshot_3.png"), OwnerDriver::sampleImage());
    ASSERT_TRUE(QFile::rename(home.filePath(QStringLiteral("Elsewhere/old.png")),
                              home.filePath(QStringLiteral("Pictures/Screenshots/old.png"))));
    helper.settle(1500ms);

    // Another application's window is active when the screenshot is saved.
    other.start(QStringLiteral(MORVIK_TEST_WINDOW_PATH), {QStringLiteral("Other App")});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return desktop->activeProcess() == std::int32_t(other.processId()); }));
    takeScreenshot(QStringLiteral("Screenshot_4.png"));
    helper.settle(1500ms);
    EXPECT_EQ(helper.count([](const QJsonObject& m) {
        return m.contains(QStringLiteral("log")) &&
               m.value(QStringLiteral("log")).toString().startsWith(QStringLiteral("screenshot"));
    }),
              0);

    // The same screenshot with the owner active is offered: the watcher was listening all along.
    ASSERT_TRUE(desktop->activateProcess(::getpid()));
    ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    takeScreenshot(QStringLiteral("Screenshot_5.png"));
    EXPECT_TRUE(offered(before));
}

TEST_F(OffersEndToEnd, QaOfferSwitchOffersWithoutAScreenshot) {
    QProcessEnvironment offer;
    offer.insert(QStringLiteral("FEEDBACK_QA_OFFER"), QStringLiteral("1"));
    ASSERT_NO_FATAL_FAILURE(startHelper({}, offer));
    ASSERT_TRUE(offered(0)) << "two seconds after the configuration";
    EXPECT_FALSE(bannerWindow().isEmpty());
}

TEST_F(OffersEndToEnd, QaMuteArgumentMutesEveryOffer) {
    ASSERT_NO_FATAL_FAILURE(startHelper({QStringLiteral("-FeedbackQAMute")}));
    takeScreenshot();
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("screenshot: feedback banner MUTED"), patience));
    EXPECT_EQ(logCount(QStringLiteral("screenshot: taken, feedback offered")), 0);
    EXPECT_TRUE(visibleBanner().isEmpty());
}

TEST_F(OffersEndToEnd, NoBannerWhileTheComposerIsOpen) {
    ASSERT_NO_FATAL_FAILURE(startHelper());
    helper.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: window shown"), 20s));
    // The user goes back to the owner with the composer still open and takes a screenshot there.
    ASSERT_TRUE(desktop->activateProcess(::getpid()));
    ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    takeScreenshot(QStringLiteral("Screenshot_7.png"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("screenshot: composer already open, no banner"), patience));
    EXPECT_TRUE(visibleBanner().isEmpty())
        << visibleBanner().toStdString() << " "
        << xdotool({QStringLiteral("getwindowname"), visibleBanner()}).value_or(QString()).toStdString();
}

} // namespace

namespace {

TEST_F(OffersEndToEnd, AnotherApplicationBecomingActiveWithdrawsTheBanner) {
    ASSERT_NO_FATAL_FAILURE(startHelper());
    const qsizetype before = helper.messages().size();
    takeScreenshot();
    ASSERT_TRUE(offered(before));
    ASSERT_FALSE(bannerWindow().isEmpty());
    other.start(QStringLiteral(MORVIK_TEST_WINDOW_PATH), {QStringLiteral("Other App")});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("feedback: banner dismissed (owner went to the background)"),
                                  patience));
    EXPECT_TRUE(waitUntil([&] { return visibleBanner().isEmpty(); }, 5s));
}

} // namespace
