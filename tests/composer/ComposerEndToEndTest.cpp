// The real helper under the display with this test as its owner: compose, the snapshot request and
// its answer, the "Send Feedback" window, typing and sending through real input events (xdotool),
// the loopback service, the success screen and the error banner, and the focus going back to the
// owner's window when the composer closes. Pictures of each screen are saved as test artifacts.

#include "DesktopWindows.h"
#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "OwnerDriver.h"
#include "ServiceStandIn.h"
#include "X11DesktopWindows.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The success screen's fade and its seal take about half a second to come to rest.
constexpr auto animationsSettle = 900ms;

class OwnerWindow : public QRasterWindow {
public:
    OwnerWindow() {
        setTitle(QStringLiteral("Test Owner"));
        setGeometry(QRect(60, 60, 900, 560));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), QColor(240, 242, 245));
        painter.fillRect(QRect(0, 0, width(), 44), QColor(52, 70, 110));
        painter.fillRect(QRect(30, 80, 360, 220), QColor(232, 160, 70));
        painter.fillRect(QRect(420, 80, 440, 420), QColor(110, 165, 210));
        painter.setPen(Qt::white);
        painter.drawText(QRect(16, 0, 400, 44), Qt::AlignVCenter,
                         QStringLiteral("Test Owner — drawing.sketch"));
    }
};

class ComposerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            << "xdotool is needed";
        desktop = X11DesktopWindows::connect();
        ASSERT_NE(desktop, nullptr);
        ASSERT_TRUE(home.isValid());
        for (const char* name : {"config", "data", "runtime"}) {
            QDir().mkpath(home.filePath(QString::fromLatin1(name)));
            QFile::setPermissions(home.filePath(QString::fromLatin1(name)),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        standIn = ServiceStandIn::startOnThread();
        ASSERT_NE(standIn, nullptr);

        owner.show();
        owner.requestActivate();
        ASSERT_TRUE(waitUntil([&] { return desktop->activeProcess() == ::getpid(); }));
    }
    void TearDown() override {
        if (helper.process().state() == QProcess::Running) {
            helper.closeInput();
            EXPECT_EQ(helper.waitForExit(), 0);
        }
    }

    void environment(const QUrl& service) {
        QProcessEnvironment& env = helper.environment();
        env.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service.toString());
        env.insert(QStringLiteral("MORVIK_ACCOUNT_URL"), service.toString());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        helper.narrateComposer();
    }

    // Starts the helper, configures it and has every snapshot request answered with a picture of the
    // owner's window.
    void startHelper(const QUrl& service) {
        environment(service);
        ASSERT_TRUE(helper.start());
        helper.answerSnapshotsWith(ownerSnapshot());
        helper.writeLine(
            R"({"config":{"appKey":"app-e2e","ingestKey":"ingest-e2e","productName":"Test Owner","version":"3.0","build":"12"}})");
        ASSERT_TRUE(helper.waitForReadyCount(1));
    }

    QByteArray ownerSnapshot() {
        const QImage picture = owner.screen()->grabWindow(owner.winId()).toImage();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return bytes;
    }

    // Sends compose and waits for the composer window of the helper; its X11 id.
    QString compose() {
        const qsizetype before = helper.messages().size();
        helper.writeLine(R"({"cmd":"compose"})");
        EXPECT_TRUE(helper.waitFor(OwnerDriver::isSnapshotRequest, before));
        EXPECT_TRUE(helper.waitFor(
            [](const QJsonObject& m) { return isLog(m, QStringLiteral("composer: window shown")); }, before));
        const auto found = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                    QStringLiteral("--pid"), QString::number(helper.process().processId()),
                                    QStringLiteral("--name"), QStringLiteral("^Send Feedback$")});
        return found ? found->split(QLatin1Char('\n')).value(0) : QString();
    }

    bool helperIsActive() { return desktop->activeProcess() == std::int32_t(helper.process().processId()); }
    bool ownerIsActive() { return desktop->activeProcess() == ::getpid(); }

    void picture(const QString& window, const char* name) {
        helper.settle(animationsSettle);
        const QImage image = owner.screen()->grabWindow(window.toULongLong()).toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(460, 580));
        ASSERT_TRUE(image.save(
            QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS))).filePath(QString::fromLatin1(name))));
    }

    void type(const QString& text) {
        ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), text}));
    }
    void key(const QString& keys) { ASSERT_TRUE(xdotool({QStringLiteral("key"), keys})); }

    QStringList outbox() const {
        return QDir(home.filePath(QStringLiteral("data/FeedbackOutbox")))
            .entryList({QStringLiteral("*.json")}, QDir::Files);
    }

    std::unique_ptr<X11DesktopWindows> desktop;
    QTemporaryDir home;
    std::unique_ptr<ServiceStandIn> standIn;
    OwnerWindow owner;
    OwnerDriver helper;
};

TEST_F(ComposerEndToEnd, ComposeTypeSendAndReturnToTheOwner) {
    ASSERT_NO_FATAL_FAILURE(startHelper(standIn->baseUrl()));
    const QString window = compose();
    ASSERT_FALSE(window.isEmpty());
    const auto geometry = xdotool({QStringLiteral("getwindowgeometry"), window});
    ASSERT_TRUE(geometry);
    EXPECT_TRUE(geometry->contains(QStringLiteral("Geometry: 460x580"))) << geometry->toStdString();
    // A fixed dialog of the owner's window: no maximising (the window manager's own list), and its
    // Motif functions leave out minimising and maximising for the window managers that honour them
    // (openbox keeps minimise for every dialog by its own policy).
    const auto hints = runProgram(QStringLiteral("xprop"),
                                  {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"),
                                   QStringLiteral("_MOTIF_WM_HINTS"), QStringLiteral("_NET_WM_WINDOW_TYPE"),
                                   QStringLiteral("WM_TRANSIENT_FOR")});
    ASSERT_TRUE(hints);
    const std::string told = hints->toStdString();
    EXPECT_TRUE(hints->contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << told;
    EXPECT_FALSE(hints->contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE"))) << told;
    EXPECT_TRUE(hints->contains(QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"))) << told;
    const QRegularExpression motif(
        QStringLiteral("_MOTIF_WM_HINTS\\(_MOTIF_WM_HINTS\\) = (0x[0-9a-f]+), (0x[0-9a-f]+)"));
    const QRegularExpressionMatch functions = motif.match(*hints);
    ASSERT_TRUE(functions.hasMatch()) << told;
    const uint flags = functions.captured(1).toUInt(nullptr, 16);
    const uint allowed = functions.captured(2).toUInt(nullptr, 16);
    EXPECT_TRUE(flags & 0x1) << "functions are given";
    EXPECT_FALSE(allowed & (0x1 | 0x8 | 0x10)) << "no 'all', minimise or maximise: " << told;
    EXPECT_TRUE(hints->contains(
        QStringLiteral("WM_TRANSIENT_FOR(WINDOW): window id # 0x%1").arg(owner.winId(), 0, 16)))
        << told;
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); })) << "the composer is the active window";
    picture(window, "e2e-form.png");

    // The editor has the focus: typing goes straight into the message.
    type(QStringLiteral("   Export drops the top layer\n"));
    key(QStringLiteral("ctrl+Return"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: report accepted")));

    ASSERT_TRUE(standIn->waitForRequests(QStringLiteral("/report"), 1, 10s));
    ASSERT_EQ(standIn->requests(QStringLiteral("/screenshot")).size(), 1);
    EXPECT_EQ(standIn->requests(QStringLiteral("/screenshot")).first().header("Content-Type"), "image/jpeg");
    const QJsonObject report =
        QJsonDocument::fromJson(standIn->requests(QStringLiteral("/report")).first().body).object();
    EXPECT_EQ(report.value(QStringLiteral("message")).toString(),
              QStringLiteral("Export drops the top layer"));
    EXPECT_EQ(report.value(QStringLiteral("intent")).toString(), QStringLiteral("idea"));
    EXPECT_EQ(report.value(QStringLiteral("product")).toString(), QStringLiteral("Test Owner"));
    const QString address = report.value(QStringLiteral("screenshot_url")).toString();
    const QString prefix = standIn->url(QStringLiteral("/screenshot/")).toString();
    ASSERT_TRUE(address.startsWith(prefix)) << address.toStdString();
    EXPECT_TRUE(standIn->inbox().screenshot(address.mid(prefix.size())).has_value());
    EXPECT_TRUE(outbox().isEmpty());
    picture(window, "e2e-success.png");

    // Done has the focus on the success screen; Return closes, and the owner is active again.
    key(QStringLiteral("Return"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: window closed")));
    EXPECT_TRUE(waitUntil([&] { return ownerIsActive(); })) << "the owner's window is active again";
}

TEST_F(ComposerEndToEnd, ServiceDownShowsTheBannerAndKeepsTheReport) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QUrl down(QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()));
    probe.close();
    ASSERT_NO_FATAL_FAILURE(startHelper(down));
    const QString window = compose();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); }));

    type(QStringLiteral("Saving hangs on the network drive"));
    key(QStringLiteral("ctrl+Return"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: report not accepted"), 30s));
    picture(window, "e2e-error.png");
    const QStringList kept = outbox();
    ASSERT_EQ(kept.size(), 1);
    QFile file(home.filePath(QStringLiteral("data/FeedbackOutbox/")) + kept.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("message")).toString(),
              QStringLiteral("Saving hangs on the network drive"));

    // The frame's close (the window manager's Alt+F4) hands the focus back too.
    key(QStringLiteral("alt+F4"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: window closed")));
    EXPECT_TRUE(waitUntil([&] { return ownerIsActive(); }));
}

// The owner quits while the snapshot is still going up: the report was on disk, with its snapshot,
// before anything went on the network, and the next helper's flush delivers both.
TEST_F(ComposerEndToEnd, OwnerQuittingDuringTheUploadLosesNothing) {
    standIn->setReply(QStringLiteral("POST"), QStringLiteral("/screenshot"),
                      ScriptedReply::delayed(20s, 200, R"({"id":"never"})"));
    ASSERT_NO_FATAL_FAILURE(startHelper(standIn->baseUrl()));
    const QString window = compose();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); }));
    type(QStringLiteral("Crop tool forgets its ratio"));
    key(QStringLiteral("ctrl+Return"));
    // Generous waits: preparing the picture in a sanitizer build on a busy machine takes seconds.
    ASSERT_TRUE(standIn->waitForRequests(QStringLiteral("/screenshot"), 1, 60s));
    helper.closeInput();
    ASSERT_EQ(helper.waitForExit(), 0);
    EXPECT_TRUE(standIn->requests(QStringLiteral("/report")).isEmpty());
    const QDir stored(home.filePath(QStringLiteral("data/FeedbackOutbox")));
    ASSERT_EQ(stored.entryList(QDir::Files).size(), 2)
        << stored.entryList(QDir::Files).join(' ').toStdString();

    standIn->clearReplies();
    OwnerDriver next;
    next.environment() = helper.environment();
    ASSERT_TRUE(next.start());
    next.writeLine(R"({"config":{"appKey":"app-e2e","ingestKey":"ingest-e2e"}})");
    next.writeLine(R"({"cmd":"flush"})");
    const auto flushed = next.waitForMessage(OwnerDriver::isFlushed, 120s);
    ASSERT_TRUE(flushed);
    EXPECT_EQ(flushed->value(QStringLiteral("sent")).toInt(), 1);
    const auto reports = standIn->requests(QStringLiteral("/report"));
    ASSERT_EQ(reports.size(), 1);
    const QJsonObject report = QJsonDocument::fromJson(reports.first().body).object();
    EXPECT_EQ(report.value(QStringLiteral("message")).toString(),
              QStringLiteral("Crop tool forgets its ratio"));
    const QString prefix = standIn->url(QStringLiteral("/screenshot/")).toString();
    const QString address = report.value(QStringLiteral("screenshot_url")).toString();
    ASSERT_TRUE(address.startsWith(prefix)) << address.toStdString();
    EXPECT_TRUE(standIn->inbox().screenshot(address.mid(prefix.size())).has_value());
    EXPECT_TRUE(stored.entryList(QDir::Files).isEmpty());
    next.closeInput();
    EXPECT_EQ(next.waitForExit(), 0);
}

TEST_F(ComposerEndToEnd, ComposeAgainAndReopenBringTheOneWindowForward) {
    ASSERT_NO_FATAL_FAILURE(startHelper(standIn->baseUrl()));
    const QString window = compose();
    ASSERT_FALSE(window.isEmpty());
    type(QStringLiteral("kept"));

    // The owner comes forward; compose asks for a snapshot again and brings the same window back.
    ASSERT_TRUE(desktop->activateProcess(::getpid()));
    ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    const qsizetype before = helper.messages().size();
    helper.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(helper.waitFor(OwnerDriver::isSnapshotRequest, before));
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); })) << "the open composer came forward";
    const auto windows = xdotool({QStringLiteral("search"), QStringLiteral("--pid"),
                                  QString::number(helper.process().processId()), QStringLiteral("--name"),
                                  QStringLiteral("^Send Feedback$")});
    ASSERT_TRUE(windows);
    EXPECT_EQ(*windows, window) << "still one composer window";

    // A second launch with --reopen while the composer is closed: a snapshot request, then the window.
    key(QStringLiteral("alt+F4"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: window closed")));
    ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    const qsizetype beforeReopen = helper.messages().size();
    QProcess second;
    second.setProcessEnvironment(helper.environment());
    second.start(OwnerDriver::helperPath(), {QStringLiteral("--reopen")});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(helper.waitFor(OwnerDriver::isSnapshotRequest, beforeReopen));
    ASSERT_TRUE(helper.waitFor(
        [](const QJsonObject& m) { return isLog(m, QStringLiteral("composer: window shown")); },
        beforeReopen));
    EXPECT_TRUE(waitUntil([&] { return helperIsActive(); }));

    // A plain second launch from a terminal (someone starting it by hand) does the same: with the
    // composer open it only brings it forward, without a new snapshot request.
    ASSERT_TRUE(desktop->activateProcess(::getpid()));
    ASSERT_TRUE(waitUntil([&] { return ownerIsActive(); }));
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_TRUE(::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
    QProcess plain;
    plain.setProcessEnvironment(helper.environment());
    plain.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("exec \"$0\" < \"$1\""), OwnerDriver::helperPath(),
                 QString::fromLocal8Bit(::ptsname(terminal))});
    ASSERT_TRUE(plain.waitForFinished(15000));
    ::close(terminal);
    EXPECT_EQ(plain.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] { return helperIsActive(); }));
    helper.settle(300ms);
    EXPECT_EQ(helper.count(OwnerDriver::isSnapshotRequest), 3) << "no request while the composer is open";

    // Without a running helper of this user, --reopen says so.
    QTemporaryDir elsewhere;
    QProcessEnvironment lonely = helper.environment();
    lonely.insert(QStringLiteral("XDG_RUNTIME_DIR"), elsewhere.path());
    QProcess nobody;
    nobody.setProcessEnvironment(lonely);
    nobody.start(OwnerDriver::helperPath(), {QStringLiteral("--reopen")});
    ASSERT_TRUE(nobody.waitForFinished(15000));
    EXPECT_EQ(nobody.exitCode(), 1);
}

// Nothing personal or secret reaches a line the helper writes (the owner's log may end up in a bug
// tracker): not the message, not the e-mail address, not the keys, through a refused connection, a
// resend and an accepted report. Without a product name from the owner, the report (and the
// composer's title) names the owner's program, never the helper.
TEST_F(ComposerEndToEnd, LinesCarryNoPersonalDataAndTheProductIsTheOwners) {
    const QString words = QStringLiteral("Quokka ledger totals drift");
    const QString address = QStringLiteral("pat.privacy@example.org");
    const QString appKey = QStringLiteral("app-sekret-7731");
    const QString ingestKey = QStringLiteral("ingest-sekret-9924");
    standIn->setReply(QStringLiteral("POST"), QStringLiteral("/report"), ScriptedReply::dropConnection());
    environment(standIn->baseUrl());
    ASSERT_TRUE(helper.start());
    helper.answerSnapshotsWith(std::nullopt);
    helper.writeLine(
        QStringLiteral(R"({"config":{"appKey":"%1","ingestKey":"%2"}})").arg(appKey, ingestKey).toUtf8());
    ASSERT_TRUE(helper.waitForReadyCount(1));
    const QString window = compose();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return helperIsActive(); }));
    picture(window, "e2e-owner-named.png");

    // Return in the e-mail field sends; the first attempt loses its connection.
    type(words);
    key(QStringLiteral("Tab"));
    type(address);
    key(QStringLiteral("Return"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: report not accepted"), 30s));
    standIn->clearReplies();
    key(QStringLiteral("Return"));
    ASSERT_TRUE(helper.waitForLog(QStringLiteral("composer: report accepted"), 30s));
    helper.closeInput();
    ASSERT_EQ(helper.waitForExit(), 0);

    const auto reports = standIn->requests(QStringLiteral("/report"));
    ASSERT_FALSE(reports.isEmpty());
    const QJsonObject report = QJsonDocument::fromJson(reports.last().body).object();
    // Typed through the window system on a busy machine, a key may go missing: the words are checked
    // loosely, the lines below strictly.
    EXPECT_TRUE(report.value(QStringLiteral("message")).toString().startsWith(QStringLiteral("Quokka")));
    EXPECT_TRUE(report.value(QStringLiteral("contact")).toString().endsWith(QStringLiteral("example.org")));
    EXPECT_EQ(report.value(QStringLiteral("product")).toString(),
              QFileInfo(QCoreApplication::applicationFilePath()).fileName());

    QList<QByteArray> lines = helper.rawLines();
    lines += helper.standardError().split('\n');
    ASSERT_GT(lines.size(), 5);
    const QStringList secrets{QStringLiteral("Quokka"),
                              QStringLiteral("ledger"),
                              QStringLiteral("pat.privacy"),
                              QStringLiteral("example.org"),
                              appKey,
                              ingestKey};
    for (const QByteArray& line : lines)
        for (const QString& secret : secrets) {
            EXPECT_FALSE(QString::fromUtf8(line).contains(secret, Qt::CaseInsensitive))
                << "\"" << secret.toStdString() << "\" in: " << line.toStdString();
        }
}

} // namespace
