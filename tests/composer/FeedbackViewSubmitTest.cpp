// Sending from the composer's view model against the loopback feedback service: what reaches the
// service, and what the form shows for each outcome.

#include "DeliveryTimings.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackOutbox.h"
#include "FeedbackView.h"
#include "PreferenceStore.h"
#include "ServiceStandIn.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

const QString couldNotSend = QStringLiteral("Couldn't send. Check your connection and try again.");
const QString notAttachedNote = QStringLiteral("Screenshot didn't upload; your words were sent.");

QByteArray png() {
    QImage picture(640, 400, QImage::Format_RGB32);
    picture.fill(QColor(200, 90, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

QJsonObject json(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

class SubmitTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        PreferenceStore::standard().remove(QString::fromLatin1(Feedback::rememberedContactKey));
        DeliveryTimings::setScreenshotRetryDelay(50ms);
        ASSERT_TRUE(dir.isValid());
        FeedbackOutbox::setDirectory(dir.filePath(QStringLiteral("outbox")));
        ASSERT_TRUE(standIn.listen());
        Feedback::setFeedbackServiceURL(standIn.baseUrl());
        Feedback::setAppKey(QStringLiteral("app-1"));
        Feedback::setIngestKey(QStringLiteral("ingest-1"));
        Feedback::setProductName(QStringLiteral("Sketchpad"));
    }
    void TearDown() override {
        FeedbackOutbox::setDirectory(std::nullopt);
        DeliveryTimings::reset();
        PreferenceStore::standard().remove(QString::fromLatin1(Feedback::rememberedContactKey));
        Feedback::resetForTests();
    }

    // Presses Send and waits for the outcome to be applied (at once when nothing needs the network).
    void send(FeedbackView& view) {
        view.submit();
        ASSERT_TRUE(waitUntil([&] { return !view.sending(); }));
    }
    QJsonObject lastReport() const {
        const auto reports = standIn.requests(QStringLiteral("/report"));
        return reports.isEmpty() ? QJsonObject() : json(reports.last().body);
    }
    QStringList outbox() const {
        return QDir(FeedbackOutbox::directory()).entryList({QStringLiteral("*.json")}, QDir::Files);
    }

    QTemporaryDir dir;
    ServiceStandIn standIn;
};

struct OutcomeCase {
    const char* name;
    std::optional<QByteArray> snapshot;
    bool attach;
    std::optional<ScriptedReply> screenshotReply;
    std::optional<ScriptedReply> reportReply;
    // Expected.
    bool sent;
    std::optional<QString> errorText;
    bool note;
    int uploads;
    std::optional<QString> screenshotUpload; // the bundle's screenshot_upload
};

TEST_F(SubmitTest, OutcomesOfASubmit) {
    const QByteArray refusal = R"({"refusal":"policy","message":"  Please write in English. \n"})";
    const OutcomeCase cases[] = {
        {"sent with the snapshot", png(), true, {}, {}, true, {}, false, 1, {}},
        {"snapshot switched off", png(), false, {}, {}, true, {}, false, 0, {}},
        {"no snapshot", std::nullopt, true, {}, {}, true, {}, false, 0, {}},
        {"upload refused, report sent",
         png(),
         true,
         ScriptedReply::json(404, "{}"),
         {},
         true,
         {},
         true,
         1,
         QStringLiteral("failed: HTTP 404")},
        {"upload refused, report refused", png(), true, ScriptedReply::json(404, "{}"),
         ScriptedReply::json(403, refusal), false, QStringLiteral("Please write in English."), false, 1,
         QStringLiteral("failed: HTTP 404")},
        {"refused",
         std::nullopt,
         true,
         {},
         ScriptedReply::json(403, refusal),
         false,
         QStringLiteral("Please write in English."),
         false,
         0,
         {}},
        {"server error",
         std::nullopt,
         true,
         {},
         ScriptedReply::json(500, R"({"code":"X"})"),
         false,
         couldNotSend,
         false,
         0,
         {}},
        {"accepted without a code",
         std::nullopt,
         true,
         {},
         ScriptedReply::json(200, R"({"code":7})"),
         false,
         couldNotSend,
         false,
         0,
         {}},
    };
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        standIn.clearRequests();
        standIn.clearReplies();
        for (const QString& file : outbox())
            QFile::remove(QDir(FeedbackOutbox::directory()).filePath(file));
        if (c.screenshotReply)
            standIn.setReply(QStringLiteral("POST"), QStringLiteral("/screenshot"), *c.screenshotReply);
        if (c.reportReply)
            standIn.enqueue(QStringLiteral("POST"), QStringLiteral("/report"), *c.reportReply);

        FeedbackView view(FeedbackIntent::bug, c.snapshot);
        view.setAttachScreenshot(c.attach);
        view.setMessage(QStringLiteral("It froze"));
        QList<bool> finished;
        QObject::connect(&view, &FeedbackView::submitFinished, [&](bool accepted) { finished << accepted; });
        send(view);
        EXPECT_EQ(finished, QList<bool>{c.sent});

        EXPECT_EQ(standIn.requests(QStringLiteral("/screenshot")).size(), c.uploads);
        ASSERT_EQ(standIn.requests(QStringLiteral("/report")).size(), 1);
        const QJsonObject report = lastReport();
        const QString url = report.value(QStringLiteral("screenshot_url")).toString();
        if (c.uploads > 0 && !c.screenshotUpload) {
            // The address the service gave for the snapshot it keeps.
            ASSERT_TRUE(url.startsWith(standIn.url(QStringLiteral("/screenshot/")).toString()))
                << url.toStdString();
            EXPECT_TRUE(standIn.inbox().screenshot(url.section(QLatin1Char('/'), -1)).has_value());
        } else {
            EXPECT_EQ(url, QString());
        }
        const QJsonObject bundle = report.value(QStringLiteral("bundle")).toObject();
        EXPECT_EQ(bundle.contains(QStringLiteral("screenshot_upload")), c.screenshotUpload.has_value());
        if (c.screenshotUpload) {
            EXPECT_EQ(bundle.value(QStringLiteral("screenshot_upload")).toString(), *c.screenshotUpload);
        }

        EXPECT_EQ(view.showsSuccess(), c.sent);
        if (c.sent) {
            const auto stored = standIn.inbox().entries(InboxStore::Kind::report);
            ASSERT_FALSE(stored.isEmpty());
            EXPECT_EQ(view.code(), stored.last().code);
            EXPECT_EQ(view.codeAccessibleName(), QStringLiteral("Copy reference code ") + stored.last().code);
        }
        EXPECT_EQ(view.errorText(), c.errorText);
        EXPECT_EQ(view.screenshotNote(), c.note ? std::optional<QString>(notAttachedNote) : std::nullopt);
        // Undelivered reports wait in the outbox; accepted ones leave it.
        EXPECT_EQ(outbox().size(), c.sent ? 0 : 1);
        // The form keeps everything the user entered.
        EXPECT_EQ(view.message(), QStringLiteral("It froze"));
        EXPECT_EQ(view.attachScreenshot(), c.attach);
        EXPECT_EQ(view.intent(), FeedbackIntent::bug);
    }
}

TEST_F(SubmitTest, MessageAndContactAreTrimmedAndTheContactRemembered) {
    FeedbackView view(FeedbackIntent::idea);
    view.setMessage(QStringLiteral("  \n Crashes when I save\n  the file \t\n"));
    view.setContact(QStringLiteral("  me@example.com \n"));
    send(view);
    const QJsonObject report = lastReport();
    EXPECT_EQ(report.value(QStringLiteral("message")).toString(),
              QStringLiteral("Crashes when I save\n  the file"));
    EXPECT_EQ(report.value(QStringLiteral("contact")).toString(), QStringLiteral("me@example.com"));
    EXPECT_EQ(report.value(QStringLiteral("intent")).toString(), QStringLiteral("idea"));
    ASSERT_TRUE(view.showsSuccess());
    // The field itself keeps what the user typed.
    EXPECT_EQ(view.message(), QStringLiteral("  \n Crashes when I save\n  the file \t\n"));
    EXPECT_EQ(Feedback::contactEmail(), QStringLiteral("me@example.com"));
    EXPECT_EQ(PreferenceStore::standard().string(QString::fromLatin1(Feedback::rememberedContactKey)),
              QStringLiteral("me@example.com"));
    EXPECT_EQ(
        view.whatHappensNext(),
        QStringLiteral(
            "We read every idea. If we build it, $10 or more in Velquist Cash lands at me@example.com."));
}

TEST_F(SubmitTest, AContactOfSpacesIsSentEmptyAndNotRemembered) {
    FeedbackView view(FeedbackIntent::bug);
    view.setMessage(QStringLiteral("Wrong total"));
    view.setContact(QStringLiteral("    "));
    send(view);
    EXPECT_EQ(lastReport().value(QStringLiteral("contact")).toString(), QString());
    ASSERT_TRUE(view.showsSuccess());
    EXPECT_EQ(view.whatHappensNext(),
              QStringLiteral("We triage every report. Hang onto the code above; it's your reference."));
    EXPECT_FALSE(PreferenceStore::standard().string(QString::fromLatin1(Feedback::rememberedContactKey)));
}

TEST_F(SubmitTest, ASecondPressClearsTheBannerBeforeTryingAgain) {
    standIn.enqueue(QStringLiteral("POST"), QStringLiteral("/report"),
                    ScriptedReply::json(403, R"({"refusal":"x","error":" Too many reports today. "})"));
    FeedbackView view(FeedbackIntent::praise);
    view.setMessage(QStringLiteral("Love it"));
    send(view);
    ASSERT_EQ(view.errorText(), QStringLiteral("Too many reports today."));

    view.submit();
    EXPECT_TRUE(view.sending());
    EXPECT_FALSE(view.hasError());
    EXPECT_FALSE(view.canSend());
    EXPECT_FALSE(view.showsHint());
    EXPECT_EQ(view.sendLabel(), QStringLiteral("Sending…"));
    ASSERT_TRUE(waitUntil([&] { return !view.sending(); }));
    EXPECT_TRUE(view.showsSuccess());
    EXPECT_FALSE(view.hasError());
    EXPECT_EQ(view.whatHappensNext(), QStringLiteral("It goes straight to the people who build Sketchpad."));
}

TEST_F(SubmitTest, ServiceDownKeepsTheReportInTheOutbox) {
    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    Feedback::setFeedbackServiceURL(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));

    FeedbackView view(FeedbackIntent::bug);
    view.setMessage(QStringLiteral("Lost my drawing"));
    send(view);
    EXPECT_EQ(view.errorText(), couldNotSend);
    EXPECT_FALSE(view.showsSuccess());
    const QStringList kept = outbox();
    ASSERT_EQ(kept.size(), 1);
    QFile file(QDir(FeedbackOutbox::directory()).filePath(kept.first()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(json(file.readAll()).value(QStringLiteral("message")).toString(),
              QStringLiteral("Lost my drawing"));
}

TEST_F(SubmitTest, NotConfiguredFailsWithoutTraffic) {
    Feedback::setAppKey(QString());
    FeedbackView view(FeedbackIntent::idea, png());
    view.setMessage(QStringLiteral("Dark mode"));
    send(view);
    EXPECT_EQ(view.errorText(), couldNotSend);
    EXPECT_TRUE(standIn.requests().isEmpty());
    EXPECT_TRUE(outbox().isEmpty());
}

TEST_F(SubmitTest, NothingIsSentWithoutAMessageOrWhileASendIsUnderWay) {
    FeedbackView view(FeedbackIntent::idea);
    view.setMessage(QStringLiteral(" \n "));
    view.submit();
    EXPECT_FALSE(view.sending());

    standIn.enqueue(QStringLiteral("POST"), QStringLiteral("/report"),
                    ScriptedReply::delayed(400ms, 200, R"({"code":"SLOW42"})"));
    view.setMessage(QStringLiteral("Once"));
    view.submit();
    view.submit();
    ASSERT_TRUE(waitUntil([&] { return !view.sending(); }));
    EXPECT_EQ(view.code(), QStringLiteral("SLOW42"));
    EXPECT_EQ(standIn.requests(QStringLiteral("/report")).size(), 1);
}

TEST_F(SubmitTest, ClosingWhileSendingStillDeliversAndRemembers) {
    standIn.enqueue(QStringLiteral("POST"), QStringLiteral("/report"),
                    ScriptedReply::delayed(300ms, 200, R"({"code":"LATE01"})"));
    auto view = std::make_unique<FeedbackView>(FeedbackIntent::idea, png());
    view->setMessage(QStringLiteral("Closed too soon"));
    view->setContact(QStringLiteral("late@example.com"));
    view->submit();
    view.reset();
    ASSERT_TRUE(waitUntil([&] { return Feedback::contactEmail() == QStringLiteral("late@example.com"); }));
    EXPECT_EQ(standIn.requests(QStringLiteral("/report")).size(), 1);
    EXPECT_TRUE(outbox().isEmpty());
}

} // namespace
