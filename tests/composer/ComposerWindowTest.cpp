// The composer window in this process under the display: one window at a time, its properties, the
// keyboard, the accessibility labels, the menu item, and pictures of the form, the error banner and
// the success screen (saved as test artifacts).

#include "ComposerWindowFixture.h"
#include "ComposerWindowPresenter.h"
#include "DeliveryTimings.h"
#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackComposerQml.h"
#include "FeedbackComposerWindow.h"
#include "FeedbackExternalHost.h"
#include "FeedbackMenu.h"
#include "FeedbackOutbox.h"
#include "FeedbackRewardLine.h"
#include "FeedbackRewards.h"
#include "FeedbackView.h"
#include "Host.h"
#include "PreferenceStore.h"
#include "ReopenDelegate.h"
#include "ServiceStandIn.h"

#include <QAccessible>
#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLocalSocket>
#include <QPainter>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class ComposerWindowTest : public ComposerWindowFixture {};

QString accessibleName(QQuickItem* item) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// After the last test: the closed windows go (they leave on the next turn of the event loop), then
// the QML engine, so that the leak checker sees everything returned.

TEST_F(ComposerWindowTest, OneWindowAtATimeWithItsProperties) {
    QQuickView* window = present(FeedbackIntent::idea, ownerPicture());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), QStringLiteral("Send Feedback"));
    EXPECT_EQ(window->size(), QSize(460, 580));
    EXPECT_EQ(window->minimumSize(), QSize(460, 580));
    EXPECT_EQ(window->maximumSize(), QSize(460, 580));
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->flags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->flags().testFlag(Qt::WindowMaximizeButtonHint));
    // Centred on its screen.
    const QRect available = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - available.center().x()), 2);
    EXPECT_TRUE(FeedbackComposerWindow::isOpen());
    EXPECT_TRUE(FeedbackComposerWindow::owns(window));

    QQuickView other;
    EXPECT_FALSE(FeedbackComposerWindow::owns(&other));
    EXPECT_FALSE(FeedbackComposerWindow::owns(nullptr));

    // Asking again while it is open brings the same window forward and keeps its form.
    FeedbackView* view = FeedbackComposerWindow::openView();
    view->setMessage(QStringLiteral("half-written"));
    FeedbackComposerWindow::present(FeedbackIntent::bug, std::nullopt);
    EXPECT_EQ(FeedbackComposerWindow::openWindow(), window);
    EXPECT_EQ(FeedbackComposerWindow::openView()->intent(), FeedbackIntent::idea);
    EXPECT_EQ(FeedbackComposerWindow::openView()->message(), QStringLiteral("half-written"));
    EXPECT_TRUE(FeedbackComposerWindow::openView()->hasScreenshot());

    // The form's close action closes the window; the next request opens a fresh one.
    view->close();
    ASSERT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));
    EXPECT_FALSE(FeedbackComposerWindow::owns(window));
    QQuickView* fresh = present(FeedbackIntent::bug, std::nullopt);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(FeedbackComposerWindow::openView()->intent(), FeedbackIntent::bug);
    EXPECT_EQ(FeedbackComposerWindow::openView()->message(), QString());
    EXPECT_FALSE(FeedbackComposerWindow::openView()->hasScreenshot());

    // The frame's close button arrives as a close request to the window.
    fresh->close();
    ASSERT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));
}

TEST_F(ComposerWindowTest, KeyboardReachesEveryControlAndSends) {
    QQuickView* window = present(FeedbackIntent::idea, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_TRUE(waitUntil([&] { return focusName(window) == QLatin1String("messageEditor"); }))
        << "focus starts in the editor, not in " << focusName(window).toStdString();
    EXPECT_TRUE(view->messageFocused());

    typeText(window, QStringLiteral("  Tab moves on "));
    EXPECT_EQ(view->message(), QStringLiteral("  Tab moves on "));

    QStringList order;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(window, Qt::Key_Tab);
        const QString name = focusName(window);
        if (name == QLatin1String("messageEditor"))
            break;
        if (order.isEmpty()) {
            EXPECT_FALSE(view->messageFocused());
        }
        order << name;
    }
    EXPECT_EQ(order,
              (QStringList{"redactButton", "attachSwitch", "contactField", "rewardRow", "disclosureLink",
                           "sendButton", "closeButton", "intentCard0", "intentCard1", "intentCard2"}));
    EXPECT_EQ(view->message(), QStringLiteral("  Tab moves on ")) << "Tab typed nothing";

    // Space on a card picks it and keeps the focus there.
    QTest::keyClick(window, Qt::Key_Backtab);
    QTest::keyClick(window, Qt::Key_Backtab);
    ASSERT_EQ(focusName(window), QStringLiteral("intentCard1"));
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_EQ(view->intent(), FeedbackIntent::bug);
    EXPECT_EQ(focusName(window), QStringLiteral("intentCard1"));

    // Space on the switch turns it off; the report then goes without the snapshot.
    for (int i = 0; i < 4 && focusName(window) != QLatin1String("attachSwitch"); ++i)
        QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(focusName(window), QStringLiteral("attachSwitch"));
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(view->attachScreenshot());

    // Ctrl+Return sends from the editor (with the snapshot off there is nothing to black out, so the
    // switch follows the editor directly).
    QTest::keyClick(window, Qt::Key_Backtab);
    ASSERT_EQ(focusName(window), QStringLiteral("messageEditor"));
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    ASSERT_EQ(standIn.requests(QStringLiteral("/report")).size(), 1);
    EXPECT_TRUE(standIn.requests(QStringLiteral("/screenshot")).isEmpty());
    EXPECT_EQ(view->message(), QStringLiteral("  Tab moves on ")) << "Ctrl+Return typed no line break";

    // The success screen gives Done the focus; Return presses it and the window closes.
    ASSERT_TRUE(waitUntil([&] { return focusName(window) == QLatin1String("doneButton"); }));
    EXPECT_TRUE(view->sealShown());
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));
}

TEST_F(ComposerWindowTest, CtrlReturnDoesNothingWithoutAMessage) {
    QQuickView* window = present(FeedbackIntent::praise, std::nullopt);
    ASSERT_NE(window, nullptr);
    typeText(window, QStringLiteral("   "));
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Tab); // to the contact field: no snapshot row without a snapshot
    EXPECT_EQ(focusName(window), QStringLiteral("contactField"));
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(FeedbackComposerWindow::openView()->sending());
    EXPECT_TRUE(standIn.requests().isEmpty());
}

TEST_F(ComposerWindowTest, AccessibilityLabels) {
    QQuickView* window = present(FeedbackIntent::bug, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    EXPECT_EQ(accessibleName(item(window, "closeButton")), QStringLiteral("Close"));
    EXPECT_EQ(accessibleName(item(window, "intentCard0")), QStringLiteral("Share an idea"));
    EXPECT_EQ(accessibleName(item(window, "intentCard1")), QStringLiteral("Report a bug"));
    EXPECT_EQ(accessibleName(item(window, "intentCard2")), QStringLiteral("Send feedback"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(item(window, "intentCard1"))->state().selected);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(item(window, "intentCard0"))->state().selected);
    EXPECT_EQ(accessibleName(item(window, "attachSwitch")), QStringLiteral("Attach snapshot"));
    EXPECT_EQ(accessibleName(item(window, "hint")),
              QStringLiteral("Send is unavailable. Add a line about what went wrong, then Send."));
    EXPECT_TRUE(accessibleName(item(window, "rewardRow")).endsWith(QStringLiteral("How it works")));

    standIn.setReply(QStringLiteral("POST"), QStringLiteral("/screenshot"), ScriptedReply::json(404, "{}"));
    view->setMessage(QStringLiteral("Crash"));
    view->submit();
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    EXPECT_EQ(accessibleName(item(window, "codePill")),
              QStringLiteral("Copy reference code ") + *view->code());
    EXPECT_EQ(accessibleName(item(window, "screenshotNote")),
              QStringLiteral("Screenshot didn't upload; your words were sent."));
}

TEST_F(ComposerWindowTest, PicturesOfTheFormTheErrorBannerAndTheSuccessScreen) {
    QQuickView* window = present(FeedbackIntent::idea, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    picture(window, "composer-form.png");

    view->selectIntent(1);
    view->setMessage(QStringLiteral("The export button does nothing when the file name has a space in it."));
    view->setContact(QStringLiteral("ann@example.com"));
    // A slow answer, so that the picture catches the sending state.
    standIn.enqueue(QStringLiteral("POST"), QStringLiteral("/report"), ScriptedReply::delayed(3s, 500, "{}"));
    QQuickItem* send = item(window, "sendButton");
    ASSERT_NE(send, nullptr);
    QTest::mouseClick(window, Qt::LeftButton, {},
                      send->mapToScene(QPointF(send->width() / 2, send->height() / 2)).toPoint());
    EXPECT_TRUE(view->sending());
    picture(window, "composer-sending.png");
    EXPECT_TRUE(view->sending());
    ASSERT_TRUE(waitUntil([&] { return view->hasError(); }));
    EXPECT_TRUE(item(window, "errorBanner")->isVisible());
    picture(window, "composer-error.png");

    standIn.setReply(QStringLiteral("POST"), QStringLiteral("/screenshot"), ScriptedReply::json(503, "{}"));
    QTest::mouseClick(window, Qt::LeftButton, {},
                      send->mapToScene(QPointF(send->width() / 2, send->height() / 2)).toPoint());
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    picture(window, "composer-success.png");

    QQuickItem* pill = item(window, "codePill");
    QTest::mouseClick(window, Qt::LeftButton, {},
                      pill->mapToScene(QPointF(pill->width() / 2, pill->height() / 2)).toPoint());
    EXPECT_TRUE(view->copiedCode());
    picture(window, "composer-success-copied.png");
}

TEST_F(ComposerWindowTest, PraiseFormHasNoRewardRow) {
    QQuickView* window = present(FeedbackIntent::praise, QByteArray("not an image"));
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(item(window, "rewardRow")->isVisible());
    typeText(window, QStringLiteral("Lovely app, thank you"));
    picture(window, "composer-praise.png");
}

TEST_F(ComposerWindowTest, RewardLineShowsTheCurrentSettingsSentence) {
    PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
    FeedbackRewardLine line(QColor(20, 40, 60));
    QQuickView view(&FeedbackComposerQml::engine(), nullptr);
    view.setInitialProperties({{QStringLiteral("line"), QVariant::fromValue(&line)}});
    view.setSource(FeedbackComposerQml::rewardLineUrl());
    ASSERT_EQ(view.status(), QQuickView::Ready);
    QQuickItem* label = view.rootObject();
    EXPECT_EQ(label->property("text").toString(), Feedback::Rewards::builtin().copy.settings_line);
    EXPECT_EQ(label->property("color").value<QColor>(), QColor(20, 40, 60));

    // New wording shows the next time the line is on screen.
    Feedback::Rewards wording = Feedback::Rewards::builtin();
    wording.copy.settings_line = QStringLiteral("Bugs we confirm earn $15 this week.");
    PreferenceStore::standard().setValue(Feedback::rewardsCacheKey(), wording.encode());
    view.show();
    EXPECT_TRUE(waitUntil([&] { return label->property("text").toString() == wording.copy.settings_line; }));
    PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
}

TEST_F(ComposerWindowTest, SecondLaunchesReachTheOneListeningHelper) {
    using FeedbackExternalHost::ReopenDelegate;
    // The second launch blocks while it waits for the answer, so it runs on a thread of its own.
    const auto secondLaunch = [] {
        auto answered = std::async(std::launch::async, [] { return ReopenDelegate::requestReopen(2s); });
        EXPECT_TRUE(waitUntil([&] { return answered.wait_for(0s) == std::future_status::ready; }));
        return answered.get();
    };

    // As in the helper: the host reaches the composer window through its presenter.
    FeedbackExternalHost::Host host({std::make_shared<ComposerWindowPresenter>(), {}, {}, {}});
    auto first = std::make_unique<ReopenDelegate>();
    ReopenDelegate second;
    ASSERT_TRUE(first->listen());
    EXPECT_FALSE(second.listen()) << "one helper per user answers";
    int reopened = 0;
    QObject::connect(first.get(), &ReopenDelegate::reopened, [&] { ++reopened; });

    // With the composer open behind another window, a second launch brings it forward.
    QQuickView* window = present(FeedbackIntent::bug, std::nullopt);
    ASSERT_NE(window, nullptr);
    QQuickWindow other;
    other.resize(300, 200);
    other.show();
    other.requestActivate();
    ASSERT_TRUE(waitUntil([&] { return other.isActive(); }));
    EXPECT_TRUE(secondLaunch());
    EXPECT_TRUE(waitUntil([&] { return reopened == 1 && window->isActive(); }));
    EXPECT_EQ(FeedbackComposerWindow::openWindow(), window);
    EXPECT_EQ(FeedbackComposerWindow::openView()->intent(), FeedbackIntent::bug);

    // Anything but the request line is dropped without effect.
    QLocalSocket stranger;
    stranger.connectToServer(ReopenDelegate::serverName());
    ASSERT_TRUE(stranger.waitForConnected(2000));
    stranger.write("open sesame\n");
    EXPECT_TRUE(waitUntil([&] { return stranger.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(reopened, 1);

    // When the listening helper goes, the next one takes over.
    first.reset();
    EXPECT_TRUE(second.listen());
}

TEST_F(ComposerWindowTest, ReopenWithoutAHelperAndAfterOneDied) {
    using FeedbackExternalHost::ReopenDelegate;
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_FALSE(ReopenDelegate::requestReopen(500ms)) << "nobody listens";

    // A helper that ended without removing its socket leaves a file nobody answers on.
    const QByteArray path = ReopenDelegate::serverName().toLocal8Bit();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(path)));
    EXPECT_FALSE(ReopenDelegate::requestReopen(500ms));
    ReopenDelegate next;
    EXPECT_TRUE(next.listen()) << "the leftover socket is taken over";
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(ComposerWindowTest, MenuItemOpensTheComposerWithASnapshot) {
    std::unique_ptr<QAction> action(FeedbackMenu::item());
    EXPECT_EQ(action->text(), QStringLiteral("Send Feedback…"));
    EXPECT_TRUE(action->shortcut().isEmpty());
    EXPECT_EQ(std::unique_ptr<QAction>(FeedbackMenu::item(QStringLiteral("Feedback")))->text(),
              QStringLiteral("Feedback"));

    QQuickWindow anchor;
    anchor.setColor(QColor(40, 160, 90));
    anchor.resize(400, 300);
    anchor.show();
    ASSERT_TRUE(waitUntil([&] { return anchor.isExposed(); }));
    FeedbackMenu::setAnchorWindow([&] { return &anchor; });
    const auto isJpeg = [](const std::optional<QByteArray>& bytes) {
        return bytes && bytes->startsWith("\xFF\xD8");
    };

    // No provider: at once, with the anchor window's picture.
    action->trigger();
    ASSERT_TRUE(FeedbackComposerWindow::isOpen());
    EXPECT_EQ(FeedbackComposerWindow::openView()->intent(), FeedbackIntent::idea);
    EXPECT_TRUE(isJpeg(FeedbackComposerWindow::openView()->screenshot()));
    FeedbackComposerWindow::openWindow()->close();
    ASSERT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));

    // A provider without a snapshot: after it answers, with the local picture.
    bool asked = false;
    Feedback::setSnapshotProvider([&](Feedback::Completion<std::optional<QByteArray>> done) {
        asked = true;
        QTimer::singleShot(200ms, [done] { done(std::nullopt); });
    });
    action->trigger();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(FeedbackComposerWindow::isOpen());
    ASSERT_TRUE(waitUntil([] { return FeedbackComposerWindow::isOpen(); }));
    EXPECT_TRUE(isJpeg(FeedbackComposerWindow::openView()->screenshot()));
    FeedbackComposerWindow::openWindow()->close();
    ASSERT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));

    // A provider with a snapshot: its bytes win.
    const QByteArray provided = ownerPicture();
    Feedback::setSnapshotProvider(
        [&](Feedback::Completion<std::optional<QByteArray>> done) { done(provided); });
    action->trigger();
    ASSERT_TRUE(waitUntil([] { return FeedbackComposerWindow::isOpen(); }));
    EXPECT_EQ(FeedbackComposerWindow::openView()->screenshot(), provided);
}

// Picking an intent with the pointer leaves the keyboard in the editor; Return in the e-mail field
// sends once there is a message, and does nothing before.
TEST_F(ComposerWindowTest, PointerPickKeepsTypingInTheEditorAndReturnSendsFromTheAddress) {
    QQuickView* window = present(FeedbackIntent::idea, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_TRUE(waitUntil([&] { return focusName(window) == QLatin1String("messageEditor"); }));

    auto clickOn = [&](const char* name) {
        QQuickItem* target = item(window, name);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(window, Qt::LeftButton, {},
                          target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    };
    clickOn("intentCard1");
    EXPECT_EQ(view->intent(), FeedbackIntent::bug);
    EXPECT_EQ(focusName(window), QStringLiteral("messageEditor"));
    typeText(window, QStringLiteral("Crash"));
    EXPECT_EQ(view->message(), QStringLiteral("Crash"));

    // From the e-mail field too: a pick sends the keyboard back to the message.
    clickOn("contactField");
    ASSERT_EQ(focusName(window), QStringLiteral("contactField"));
    clickOn("intentCard2");
    EXPECT_EQ(view->intent(), FeedbackIntent::praise);
    EXPECT_EQ(focusName(window), QStringLiteral("messageEditor"));

    view->setMessage(QString());
    clickOn("contactField");
    typeText(window, QStringLiteral("kim@example.org"));
    QTest::keyClick(window, Qt::Key_Return);
    QTest::qWait(100);
    EXPECT_TRUE(standIn.requests(QStringLiteral("/report")).isEmpty()) << "nothing to send yet";
    view->setMessage(QStringLiteral("Lovely rulers"));
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    EXPECT_EQ(standIn.requests(QStringLiteral("/report")).size(), 1);
}

// Escape leaves an open page for the form, then closes the window.
TEST_F(ComposerWindowTest, EscapeLeavesThePageThenCloses) {
    QQuickView* window = present(FeedbackIntent::bug, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_TRUE(waitUntil([&] { return view->hasThumbnail(); }));
    QQuickItem* link = item(window, "redactButton");
    ASSERT_NE(link, nullptr);
    link->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window, Qt::Key_Space);
    QQuickItem* editor = item(window, "redactionEditor");
    ASSERT_TRUE(waitUntil([&] { return editor->isVisible(); }));
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !editor->isVisible(); }));
    EXPECT_TRUE(FeedbackComposerWindow::isOpen());
    EXPECT_EQ(focusName(window), QStringLiteral("redactButton"));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([] { return !FeedbackComposerWindow::isOpen(); }));
}

} // namespace
