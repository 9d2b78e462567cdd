// The composer's view model apart from sending: what it shows for each intent, message and contact,
// where it starts from, the copied state and the close action.

#include "FeedbackView.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackRewardLine.h"
#include "FeedbackRewards.h"
#include "HostileImages.h"
#include "PreferenceStore.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

QByteArray image(const char* format, QSize size = QSize(300, 200)) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

Feedback::Rewards customWording() {
    Feedback::Rewards rewards = Feedback::Rewards::builtin();
    rewards.source = QStringLiteral("service");
    rewards.copy.sheet_line = QStringLiteral("Ideas pay $25 this month.");
    rewards.copy.settings_line = QStringLiteral("Ideas and bugs earn credit.");
    rewards.copy.confirm_bug = QStringLiteral("Confirmed bugs earn credit at");
    rewards.copy.confirm_idea = QStringLiteral("Built ideas earn credit at");
    return rewards;
}

class FeedbackViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        Feedback::setAppKey(QStringLiteral("app-1"));
        Feedback::setProductName(QStringLiteral("Sketchpad"));
        PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
        PreferenceStore::standard().remove(QString::fromLatin1(Feedback::rememberedContactKey));
    }
    void TearDown() override {
        PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
        FeedbackView::setCopiedStateDuration(FeedbackView::defaultCopiedStateDuration);
        Feedback::resetForTests();
    }
};

struct IntentTexts {
    FeedbackIntent intent;
    const char* placeholder;
    const char* contactPlaceholder;
    const char* hint;
    bool rewardLine;
    const char* successSubtitle;
};

TEST_F(FeedbackViewTest, TextsFollowTheIntentAndTheMessageStays) {
    const IntentTexts cases[] = {
        {FeedbackIntent::idea, "What would make this better for you?", "Email (for a reply, and your reward)",
         "Add a line about your idea, then Send.", true, "Your idea is in."},
        {FeedbackIntent::bug, "What went wrong? What did you expect to happen instead?",
         "Email (for a reply, and your reward)", "Add a line about what went wrong, then Send.", true,
         "Your report is in."},
        {FeedbackIntent::praise, "What's on your mind? We read every word.",
         "Email (optional, if you'd like a reply)", "Add a line, then Send.", false, "Your feedback is in."},
    };
    FeedbackView view;
    view.setMessage(QStringLiteral("draft"));
    for (const IntentTexts& c : cases) {
        SCOPED_TRACE(FeedbackIntents::rawValue(c.intent).toStdString());
        view.selectIntent(static_cast<int>(c.intent));
        EXPECT_EQ(view.intent(), c.intent);
        EXPECT_EQ(view.placeholder(), QString::fromUtf8(c.placeholder));
        EXPECT_EQ(view.contactPlaceholder(), QString::fromUtf8(c.contactPlaceholder));
        EXPECT_EQ(view.hint(), QString::fromUtf8(c.hint));
        EXPECT_EQ(view.hintAccessibleName(),
                  QStringLiteral("Send is unavailable. ") + QString::fromUtf8(c.hint));
        EXPECT_EQ(view.showsRewardLine(), c.rewardLine);
        EXPECT_EQ(view.successSubtitle(), QString::fromUtf8(c.successSubtitle));
        EXPECT_EQ(view.message(), QStringLiteral("draft"));

        // The cards stay in their order; only the chosen one is marked.
        const QVariantList cards = view.intentCards();
        ASSERT_EQ(cards.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QVariantMap card = cards[i].toMap();
            const FeedbackIntent cardIntent = FeedbackIntents::allCases[std::size_t(i)];
            EXPECT_EQ(card.value(QStringLiteral("label")).toString(), FeedbackIntents::label(cardIntent));
            EXPECT_EQ(card.value(QStringLiteral("shortLabel")).toString(),
                      FeedbackIntents::shortLabel(cardIntent));
            EXPECT_EQ(card.value(QStringLiteral("icon")).toString(), FeedbackIntents::icon(cardIntent));
            EXPECT_EQ(card.value(QStringLiteral("selected")).toBool(), cardIntent == c.intent);
        }
    }
    // Numbers that name no card change nothing.
    int changes = 0;
    QObject::connect(&view, &FeedbackView::intentChanged, [&] { ++changes; });
    view.selectIntent(3);
    view.selectIntent(-1);
    EXPECT_EQ(view.intent(), FeedbackIntent::praise);
    EXPECT_EQ(changes, 0);
}

struct MessageCase {
    const char* message;
    bool hasMessage;
    bool placeholder;
};

TEST_F(FeedbackViewTest, SendNeedsMoreThanWhiteSpace) {
    const MessageCase cases[] = {
        {"", false, true},
        {" ", false, false}, // a single space already hides the placeholder
        {" \n\t\r\n ", false, false},
        {"\u2003\u00a0", false, false},
        {"  Crashes on save \n", true, false},
        {"x", true, false},
    };
    FeedbackView view;
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.message);
        view.setMessage(QString::fromUtf8(c.message));
        EXPECT_EQ(view.hasMessage(), c.hasMessage);
        EXPECT_EQ(view.canSend(), c.hasMessage);
        EXPECT_EQ(view.showsHint(), !c.hasMessage);
        EXPECT_EQ(view.showsPlaceholder(), c.placeholder);
        EXPECT_TRUE(view.hintAccessibleName().startsWith(QStringLiteral("Send is unavailable. ")));
    }
}

struct NextCase {
    FeedbackIntent intent;
    const char* contact;
    const char* expected;
};

TEST_F(FeedbackViewTest, WhatHappensNextDependsOnIntentAndTrimmedContact) {
    const NextCase builtin[] = {
        {FeedbackIntent::idea, "", "We read every idea. Hang onto the code above; it's your reference."},
        {FeedbackIntent::idea, "  \n ", "We read every idea. Hang onto the code above; it's your reference."},
        {FeedbackIntent::idea, " ann@example.com\n",
         "We read every idea. If we build it, $10 or more in Velquist Cash lands at ann@example.com."},
        {FeedbackIntent::bug, "", "We triage every report. Hang onto the code above; it's your reference."},
        {FeedbackIntent::bug, "\t", "We triage every report. Hang onto the code above; it's your reference."},
        {FeedbackIntent::bug, "bo@example.org",
         "We triage every report. If this bug is confirmed, $10 or more in Velquist Cash lands at "
         "bo@example.org."},
        {FeedbackIntent::praise, "", "It goes straight to the people who build Sketchpad."},
        {FeedbackIntent::praise, "cy@example.net", "It goes straight to the people who build Sketchpad."},
    };
    for (const NextCase& c : builtin) {
        SCOPED_TRACE(c.contact);
        FeedbackView view(c.intent);
        int changes = 0;
        QObject::connect(&view, &FeedbackView::whatHappensNextChanged, [&] { ++changes; });
        view.setContact(QString::fromUtf8(c.contact));
        EXPECT_EQ(view.whatHappensNext(), QString::fromUtf8(c.expected));
        EXPECT_EQ(changes, c.contact[0] ? 1 : 0);
    }

    // The stored wording of the service replaces the built-in sentences.
    PreferenceStore::standard().setValue(Feedback::rewardsCacheKey(), customWording().encode());
    FeedbackView idea(FeedbackIntent::idea);
    idea.setContact(QStringLiteral(" dee@example.com "));
    EXPECT_EQ(idea.whatHappensNext(), QStringLiteral("Built ideas earn credit at dee@example.com."));
    EXPECT_EQ(idea.rewardSheetLine(), QStringLiteral("Ideas pay $25 this month."));
    idea.selectIntent(1);
    EXPECT_EQ(idea.whatHappensNext(), QStringLiteral("Confirmed bugs earn credit at dee@example.com."));
}

TEST_F(FeedbackViewTest, StartsFromTheSettingsReadOnce) {
    Feedback::setContactEmail(QStringLiteral("first@example.com"));
    Feedback::setSnapshotAttachedByDefault(false);
    FeedbackView view(FeedbackIntent::bug, image("PNG"));
    EXPECT_EQ(view.intent(), FeedbackIntent::bug);
    EXPECT_EQ(view.contact(), QStringLiteral("first@example.com"));
    EXPECT_FALSE(view.attachScreenshot());
    EXPECT_EQ(view.message(), QString());
    EXPECT_FALSE(view.sending());
    EXPECT_FALSE(view.code());
    EXPECT_FALSE(view.errorText());
    EXPECT_FALSE(view.screenshotNote());
    EXPECT_FALSE(view.copiedCode());
    EXPECT_FALSE(view.sealShown());
    EXPECT_FALSE(view.showsSuccess());
    EXPECT_EQ(view.headerTitle(), QStringLiteral("Make Sketchpad better"));
    EXPECT_EQ(view.sendLabel(), QStringLiteral("Send"));

    // Later changes of the settings do not reach a view that is already open.
    Feedback::setContactEmail(QStringLiteral("second@example.com"));
    Feedback::setSnapshotAttachedByDefault(true);
    EXPECT_EQ(view.contact(), QStringLiteral("first@example.com"));
    EXPECT_FALSE(view.attachScreenshot());
    EXPECT_TRUE(FeedbackView().attachScreenshot());
}

struct SnapshotCase {
    const char* name;
    std::optional<QByteArray> bytes;
    bool row;
    bool thumbnail;
};

TEST_F(FeedbackViewTest, SnapshotRowAndThumbnail) {
    const SnapshotCase cases[] = {
        {"none", std::nullopt, false, false},
        {"png", image("PNG"), true, true},
        {"large jpeg", image("JPEG", QSize(2400, 1500)), true, true},
        {"not an image", QByteArray("definitely not a picture"), true, false},
        {"above the pixel limit",
         HostileImages::zeroPng(16384, 16384, HostileImages::PngLayout::interlacedRgb8, false), true, false},
        {"empty", QByteArray(), true, false},
    };
    for (const SnapshotCase& c : cases) {
        SCOPED_TRACE(c.name);
        FeedbackView view(FeedbackIntent::idea, c.bytes);
        // Decoded on a worker thread; the picture arrives on the view's own thread.
        int decoded = 0;
        QObject::connect(
            &view, &FeedbackView::thumbnailChanged, &view,
            [&] {
                ++decoded;
                EXPECT_EQ(QThread::currentThread(), view.thread());
            },
            Qt::DirectConnection);
        if (c.bytes) {
            ASSERT_TRUE(waitUntil([&] { return decoded > 0; }));
        }
        EXPECT_EQ(decoded, c.bytes ? 1 : 0);
        EXPECT_EQ(view.hasScreenshot(), c.row);
        EXPECT_EQ(view.hasThumbnail(), c.thumbnail);
        EXPECT_EQ(view.screenshot(), c.bytes);
        if (c.thumbnail) {
            // Small enough to draw cheaply, large enough for a sharp 40-point square.
            EXPECT_GE(qMin(view.thumbnail().width(), view.thumbnail().height()), 100);
            EXPECT_LE(qMin(view.thumbnail().width(), view.thumbnail().height()), 200);
        }
    }
}

TEST_F(FeedbackViewTest, CopyingPutsTheCodeOnTheClipboardAndTheEarliestTimerEndsIt) {
    FeedbackView::setCopiedStateDuration(600ms);
    FeedbackView view;
    int changes = 0;
    QObject::connect(&view, &FeedbackView::copiedCodeChanged, [&] { ++changes; });
    QElapsedTimer clock;
    clock.start();
    view.copyCode(QStringLiteral("K7Q2MX"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("K7Q2MX"));
    EXPECT_TRUE(view.copiedCode());
    EXPECT_EQ(view.codeSymbol(), QStringLiteral("checkmark"));

    // A second copy halfway does not extend the state.
    QTimer::singleShot(300ms, &view, [&] { view.copyCode(QStringLiteral("K7Q2MX")); });
    ASSERT_TRUE(waitUntil([&] { return clock.elapsed() > 350 && !view.copiedCode(); }));
    const qint64 ended = clock.elapsed();
    EXPECT_GE(ended, 590);
    EXPECT_LT(ended, 880) << "the second copy's timer ended the copied state";
    EXPECT_EQ(view.codeSymbol(), QStringLiteral("doc.on.doc"));
    // The second timer finds the state already ended and changes nothing.
    ASSERT_TRUE(waitUntil([&] { return clock.elapsed() > 1000; }));
    EXPECT_FALSE(view.copiedCode());
    EXPECT_EQ(changes, 2);
}

TEST_F(FeedbackViewTest, CloseUsesOnCloseElseTheHostsDismiss) {
    int closed = 0;
    int dismissed = 0;
    int requested = 0;
    FeedbackView withOnClose(FeedbackIntent::idea, std::nullopt, [&] { ++closed; });
    withOnClose.setDismiss([&] { ++dismissed; });
    QObject::connect(&withOnClose, &FeedbackView::closeRequested, [&] { ++requested; });
    withOnClose.close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(dismissed, 0);
    EXPECT_EQ(requested, 0) << "the close action alone takes the view away";

    FeedbackView hosted;
    hosted.setDismiss([&] { ++dismissed; });
    QObject::connect(&hosted, &FeedbackView::closeRequested, [&] { ++requested; });
    hosted.close();
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(requested, 1);

    // Made from QML: whoever shows it listens for closeRequested.
    FeedbackView alone;
    QObject::connect(&alone, &FeedbackView::closeRequested, [&] { ++requested; });
    alone.close();
    EXPECT_EQ(requested, 2);
}

TEST_F(FeedbackViewTest, RewardLineReadsTheWordingAfresh) {
    FeedbackRewardLine line;
    EXPECT_EQ(line.text(), Feedback::Rewards::builtin().copy.settings_line);
    EXPECT_NEAR(line.ink().alphaF(), 0.75, 0.001);
    PreferenceStore::standard().setValue(Feedback::rewardsCacheKey(), customWording().encode());
    int changes = 0;
    QObject::connect(&line, &FeedbackRewardLine::textChanged, [&] { ++changes; });
    line.refresh();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(line.text(), QStringLiteral("Ideas and bugs earn credit."));
    EXPECT_EQ(FeedbackRewardLine(QColor(Qt::red)).ink(), QColor(Qt::red));
}

} // namespace
