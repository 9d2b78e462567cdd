// The in-app entry points as an application uses them: its own engine and window, `import
// Morvik.Feedback`, the section, the contact row and both presenters in the window, clicked with the
// mouse and closed with Escape. What opens is checked on the composer's view model.

#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackComposerQml.h"
#include "FeedbackView.h"
#include "ItemSearch.h"
#include "ServiceStandIn.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;

QByteArray png(QColor colour) {
    QImage picture(QSize(120, 80), QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// The application's page: its own values the components write into, every entry point on it.
constexpr const char* page = R"(
import QtQuick
import Morvik.Feedback

Window {
    id: page
    width: 720
    height: 720

    property bool showFeedback: false
    property int feedbackIntent: -1
    property var chosenIntent
    // The application's own binding on a component: it must survive the component's writes.
    property int presentedIntent: FeedbackView.Bug

    Column {
        width: 260
        FeedbackSettingsSection {
            objectName: "ownSection"
            width: parent.width
        }
        FeedbackSettingsSection {
            objectName: "boundSection"
            width: parent.width
            intent: FeedbackBinding { target: page; property: "chosenIntent" }
        }
        FeedbackContactUsRow {
            objectName: "contactRow"
            width: parent.width
        }
    }
    FeedbackSheetPresenter {
        objectName: "flagPresenter"
        isPresented: FeedbackBinding { target: page; property: "showFeedback" }
        intent: page.presentedIntent
    }
    FeedbackSheetItemPresenter {
        objectName: "itemPresenter"
        item: FeedbackBinding { target: page; property: "feedbackIntent" }
    }
}
)";

class EntryPointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        Feedback::resetForTests();
        standIn = ServiceStandIn::startOnThread();
        ASSERT_NE(standIn, nullptr);
        Feedback::setFeedbackServiceURL(standIn->baseUrl());
        // No application key yet: the sections' reward refresh does nothing until a test sets one.
        Feedback::setProductName(QStringLiteral("Sketchpad"));
        FeedbackComposerQml::addModuleImportPath(engine);
        QQmlComponent component(&engine);
        component.setData(page, QUrl::fromLocalFile(folder.filePath(QStringLiteral("Page.qml"))));
        ASSERT_TRUE(component.isReady()) << qPrintable(component.errorString());
        window.reset(qobject_cast<QQuickWindow*>(component.create()));
        ASSERT_TRUE(window) << qPrintable(component.errorString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        answers.clear();
        Feedback::resetForTests();
    }

    // A provider that keeps every request; the test answers them.
    void holdSnapshotRequests() {
        Feedback::setSnapshotAttachedByDefault(true);
        Feedback::setSnapshotProvider([this](Feedback::Completion<std::optional<QByteArray>> done) {
            answers.push_back(std::move(done));
        });
    }

    QQuickItem* item(const QString& name) { return findItem(window->contentItem(), name); }
    void click(QQuickItem* target) {
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(window.get(), Qt::LeftButton, {},
                          target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    }
    // The view model of the composer in the first open sheet, found through the sheet's holder.
    FeedbackView* openComposer(const QString& holder) {
        QObject* owner = item(holder);
        if (!owner)
            return nullptr;
        auto* sheet = owner->property("sheet").value<QObject*>();
        if (!sheet || !sheet->property("visible").toBool())
            return nullptr;
        auto* composer = sheet->property("composer").value<QObject*>();
        return composer ? composer->property("view").value<FeedbackView*>() : nullptr;
    }
    bool sheetOpen(const QString& holder) {
        QObject* owner = item(holder);
        auto* sheet = owner ? owner->property("sheet").value<QObject*>() : nullptr;
        return sheet && sheet->property("visible").toBool();
    }
    void picture(const char* name) {
        const QImage image = window->grabWindow();
        ASSERT_FALSE(image.isNull());
        ASSERT_TRUE(image.save(
            QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS))).filePath(QString::fromLatin1(name))));
    }
    void pressEscape() { QTest::keyClick(window.get(), Qt::Key_Escape); }
    QQuickItem* row(const QString& section, const QString& name) {
        QQuickItem* in = item(section);
        return in ? findItem(in, name) : nullptr;
    }

    QTemporaryDir folder;
    QQmlEngine engine;
    std::unique_ptr<ServiceStandIn> standIn;
    std::unique_ptr<QQuickWindow> window;
    std::vector<Feedback::Completion<std::optional<QByteArray>>> answers;
};

TEST_F(EntryPointsTest, SectionOpensItsOwnSheetAtOnceWithoutCapturing) {
    Feedback::setSnapshotAttachedByDefault(false);
    Feedback::setSnapshotOfferedWhenOff(false);
    int asked = 0;
    Feedback::setSnapshotProvider([&](Feedback::Completion<std::optional<QByteArray>> done) {
        ++asked;
        done(png(Qt::red));
    });
    picture("entry-points.png");
    click(row(QStringLiteral("ownSection"), QStringLiteral("reportBug")));
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("ownSection")) != nullptr; }, 5s));
    QTest::qWait(300); // the sheet's opening transition, for the picture
    picture("entry-points-sheet.png");
    FeedbackView* view = openComposer(QStringLiteral("ownSection"));
    EXPECT_EQ(view->intent(), FeedbackIntent::bug);
    EXPECT_FALSE(view->hasScreenshot());
    EXPECT_EQ(asked, 0);

    pressEscape();
    ASSERT_TRUE(waitUntil([&] { return !sheetOpen(QStringLiteral("ownSection")); }, 5s));
    EXPECT_EQ(item(QStringLiteral("ownSection"))->property("ownIntent").toInt(), -1);
}

TEST_F(EntryPointsTest, SnapshotComesFromTheProviderElseTheWindowAndNeverLingers) {
    holdSnapshotRequests();
    const QByteArray provided = png(QColor(20, 160, 90));

    // The provider's picture, and the sheet only once it is in.
    click(row(QStringLiteral("ownSection"), QStringLiteral("shareIdea")));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }, 5s));
    QTest::qWait(100);
    EXPECT_FALSE(sheetOpen(QStringLiteral("ownSection"))) << "opens after the capture";
    answers.back()(provided);
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("ownSection")) != nullptr; }, 5s));
    EXPECT_EQ(openComposer(QStringLiteral("ownSection"))->screenshot(), provided);
    EXPECT_EQ(openComposer(QStringLiteral("ownSection"))->intent(), FeedbackIntent::idea);
    pressEscape();
    ASSERT_TRUE(waitUntil([&] { return !sheetOpen(QStringLiteral("ownSection")); }, 5s));

    // No picture from the provider: the application's window as it was drawn.
    click(item(QStringLiteral("contactRow")));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }, 5s));
    answers.back()(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("contactRow")) != nullptr; }, 5s));
    FeedbackView* contact = openComposer(QStringLiteral("contactRow"));
    EXPECT_EQ(contact->intent(), FeedbackIntent::praise);
    ASSERT_TRUE(contact->screenshot().has_value());
    EXPECT_TRUE(QImage::fromData(*contact->screenshot()).size() ==
                window->size() * window->devicePixelRatio());
    pressEscape();
    ASSERT_TRUE(waitUntil([&] { return !sheetOpen(QStringLiteral("contactRow")); }, 5s));

    // Snapshots switched off: the section opens with none, not with the picture of before.
    Feedback::setSnapshotAttachedByDefault(false);
    Feedback::setSnapshotOfferedWhenOff(false);
    click(row(QStringLiteral("ownSection"), QStringLiteral("contactUs")));
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("ownSection")) != nullptr; }, 5s));
    EXPECT_FALSE(openComposer(QStringLiteral("ownSection"))->hasScreenshot());
    EXPECT_EQ(answers.size(), 2u);
}

TEST_F(EntryPointsTest, AProviderThatNeverAnswersHoldsTheSheetNoLongerThanTheLimit) {
    holdSnapshotRequests();
    // The section's limit is shortened here: the rule, not the length, is under test.
    QObject* opener = item(QStringLiteral("ownSection"))->property("opener").value<QObject*>();
    ASSERT_NE(opener, nullptr);
    EXPECT_EQ(opener->property("captureLimit").toInt(), 3000);
    opener->setProperty("captureLimit", 400);

    QElapsedTimer clock;
    clock.start();
    click(row(QStringLiteral("ownSection"), QStringLiteral("reportBug")));
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("ownSection")) != nullptr; }, 5s));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_FALSE(openComposer(QStringLiteral("ownSection"))->hasScreenshot());
    // The answer that comes after all changes nothing.
    ASSERT_EQ(answers.size(), 1u);
    answers.back()(png(Qt::blue));
    QCoreApplication::processEvents();
    EXPECT_FALSE(openComposer(QStringLiteral("ownSection"))->hasScreenshot());
}

TEST_F(EntryPointsTest, SectionWithTheApplicationsIntentOnlyWritesIt) {
    holdSnapshotRequests();
    const std::vector<std::pair<QString, int>> rows = {
        {QStringLiteral("reportBug"), FeedbackView::Bug},
        {QStringLiteral("shareIdea"), FeedbackView::Idea},
        {QStringLiteral("contactUs"), FeedbackView::Praise},
    };
    for (const auto& [name, expected] : rows) {
        SCOPED_TRACE(name.toStdString());
        const int intent = expected;
        click(row(QStringLiteral("boundSection"), name));
        ASSERT_TRUE(waitUntil([&] { return window->property("chosenIntent").toInt() == intent; }, 5s));
        QCoreApplication::processEvents();
        EXPECT_FALSE(sheetOpen(QStringLiteral("boundSection")));
        EXPECT_TRUE(answers.empty()) << "no snapshot is taken for a written intent";
    }
}

TEST_F(EntryPointsTest, BooleanPresenterOpensOnTheFlagAndClearsItWhenDismissed) {
    holdSnapshotRequests();
    window->setProperty("showFeedback", true);
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }, 5s));
    answers.back()(png(Qt::yellow));
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("flagPresenter")) != nullptr; }, 5s));
    EXPECT_EQ(openComposer(QStringLiteral("flagPresenter"))->intent(), FeedbackIntent::bug);
    EXPECT_TRUE(openComposer(QStringLiteral("flagPresenter"))->hasScreenshot());

    pressEscape();
    ASSERT_TRUE(waitUntil([&] { return !window->property("showFeedback").toBool(); }, 5s));
    EXPECT_FALSE(sheetOpen(QStringLiteral("flagPresenter")));

    // The application's binding on the presenter still follows its value.
    window->setProperty("presentedIntent", int(FeedbackView::Praise));
    EXPECT_EQ(item(QStringLiteral("flagPresenter"))->property("intent").toInt(), int(FeedbackView::Praise));

    // The flag turned off by the application closes the sheet.
    Feedback::setSnapshotAttachedByDefault(false);
    window->setProperty("showFeedback", true);
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("flagPresenter")) != nullptr; }, 5s));
    EXPECT_EQ(openComposer(QStringLiteral("flagPresenter"))->intent(), FeedbackIntent::praise);
    window->setProperty("showFeedback", false);
    ASSERT_TRUE(waitUntil([&] { return !sheetOpen(QStringLiteral("flagPresenter")); }, 5s));
}

TEST_F(EntryPointsTest, ItemPresenterFollowsTheNewestIntentAndClearsItWhenDismissed) {
    holdSnapshotRequests();
    window->setProperty("feedbackIntent", int(FeedbackView::Praise));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }, 5s));
    // Changed while the first capture is under way: the newer run replaces it.
    window->setProperty("feedbackIntent", int(FeedbackView::Bug));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }, 5s));
    answers[0](png(Qt::red));
    QCoreApplication::processEvents();
    EXPECT_FALSE(sheetOpen(QStringLiteral("itemPresenter"))) << "the replaced run opens nothing";
    const QByteArray second = png(Qt::green);
    answers[1](second);
    ASSERT_TRUE(waitUntil([&] { return openComposer(QStringLiteral("itemPresenter")) != nullptr; }, 5s));
    EXPECT_EQ(openComposer(QStringLiteral("itemPresenter"))->intent(), FeedbackIntent::bug);
    EXPECT_EQ(openComposer(QStringLiteral("itemPresenter"))->screenshot(), second);

    pressEscape();
    ASSERT_TRUE(waitUntil([&] { return window->property("feedbackIntent").toInt() == -1; }, 5s));
    EXPECT_FALSE(sheetOpen(QStringLiteral("itemPresenter")));
}

TEST_F(EntryPointsTest, TheSectionAsksForTheRewardWordingEachTimeItComesOnScreen) {
    Feedback::setAppKey(QStringLiteral("entry-app"));
    const auto serveWording = [&](const QString& line) {
        QJsonObject rewards = ServiceStandIn::defaultRewards();
        QJsonObject copy = rewards.value(QStringLiteral("copy")).toObject();
        copy.insert(QStringLiteral("settings_line"), line);
        rewards.insert(QStringLiteral("copy"), copy);
        standIn->setReply(QStringLiteral("GET"), QStringLiteral("/rewards"),
                          ScriptedReply::json(200, QJsonDocument(rewards).toJson(QJsonDocument::Compact)));
    };
    const auto bothLinesRead = [&](const QString& line) {
        return waitUntil(
            [&] {
                return row(QStringLiteral("ownSection"), QStringLiteral("rewardLine"))->property("text") ==
                           line &&
                       row(QStringLiteral("boundSection"), QStringLiteral("rewardLine"))->property("text") ==
                           line;
            },
            10s);
    };
    for (const QString& line : {QStringLiteral("First wording."), QStringLiteral("Second wording.")}) {
        SCOPED_TRACE(line.toStdString());
        serveWording(line);
        standIn->clearRequests();
        window->hide();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(standIn->waitForRequests(QStringLiteral("/rewards"), 2, 10s)) << "one per section";
        EXPECT_TRUE(bothLinesRead(line));
    }
}

} // namespace
