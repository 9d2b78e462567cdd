// The QML module Morvik.Feedback as an application that embeds the composer uses it: its own engine,
// `import Morvik.Feedback`, the view model made in QML and the form shown in a window of its own.

#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackComposerQml.h"
#include "FeedbackView.h"
#include "ItemSearch.h"

#include "DisplayTestTools.h"
#include "IdeaNudge.h"
#include "PreferenceStore.h"
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

QByteArray png(QColor colour = QColor(30, 120, 200)) {
    QImage picture(QSize(240, 160), QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// Counts the snapshot decodings that have finished, by the composer's debug lines ("thumbnail ready",
// "no thumbnail"), while it lives.
class FinishedDecodings {
public:
    FinishedDecodings() {
        finished = 0;
        QLoggingCategory::setFilterRules(QStringLiteral("morvik.feedback.composer.debug=true"));
        previous = qInstallMessageHandler(&FinishedDecodings::handle);
    }
    ~FinishedDecodings() {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }
    int count() const { return finished; }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& line) {
        if (line == QLatin1String("composer: thumbnail ready") ||
            line == QLatin1String("composer: no thumbnail"))
            ++finished;
    }
    static inline std::atomic<int> finished{0};
    QtMessageHandler previous = nullptr;
};

class FeedbackModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        Feedback::setProductName(QStringLiteral("Sketchpad"));
        Feedback::setContactEmail(QStringLiteral("ann@example.com"));
        // The application's own engine, as an embedding application has it.
        FeedbackComposerQml::addModuleImportPath(engine);
    }
    void TearDown() override { Feedback::resetForTests(); }

    // Creates the document's root object; null (with the engine's errors reported) when it fails.
    template <typename T> std::unique_ptr<T> create(const QByteArray& qml, const QVariantMap& initial = {}) {
        QQmlComponent component(&engine);
        // A local address (an empty folder of its own), so that the document loads at once.
        component.setData(qml, QUrl::fromLocalFile(folder.filePath(QStringLiteral("Embedder.qml"))));
        if (!component.isReady()) {
            ADD_FAILURE() << qPrintable(component.errorString());
            return nullptr;
        }
        std::unique_ptr<QObject> made(component.createWithInitialProperties(initial));
        EXPECT_TRUE(made) << qPrintable(component.errorString());
        if (!qobject_cast<T*>(made.get()))
            return nullptr;
        return std::unique_ptr<T>(qobject_cast<T*>(made.release()));
    }

    QTemporaryDir folder;
    QQmlEngine engine;
};

TEST_F(FeedbackModuleTest, FeedbackViewIsMadeFromQml) {
    const QByteArray bytes = png();
    const std::unique_ptr<FeedbackView> view =
        create<FeedbackView>("import Morvik.Feedback\nFeedbackView { intent: FeedbackView.Bug }\n",
                             {{QStringLiteral("snapshot"), bytes}});
    ASSERT_TRUE(view);
    EXPECT_EQ(view->intent(), FeedbackIntent::bug);
    EXPECT_EQ(view->contact(), QStringLiteral("ann@example.com"));
    EXPECT_EQ(view->screenshot(), bytes);
    EXPECT_TRUE(view->hasScreenshot());
    EXPECT_TRUE(waitUntil([&] { return view->hasThumbnail(); }));

    // No bytes: no snapshot, no row.
    view->setProperty("snapshot", QByteArray());
    EXPECT_FALSE(view->hasScreenshot());
    EXPECT_EQ(view->screenshot(), std::nullopt);
    EXPECT_FALSE(view->hasThumbnail());
}

TEST_F(FeedbackModuleTest, ALaterSnapshotReplacesTheThumbnail) {
    FinishedDecodings decodings;
    FeedbackView view;
    view.setSnapshot(png());
    ASSERT_TRUE(waitUntil([&] { return view.hasThumbnail(); }));

    // The old picture goes at once; the new snapshot is no image, so none comes back, even from the
    // picture whose decoding was still under way when it was replaced.
    view.setSnapshot(png(Qt::red));
    EXPECT_FALSE(view.hasThumbnail());
    view.setSnapshot(QByteArray("not a picture"));
    ASSERT_TRUE(waitUntil([&] { return decodings.count() == 3; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.hasThumbnail());
    EXPECT_TRUE(view.hasScreenshot());
}

TEST_F(FeedbackModuleTest, TheFormShowsInTheApplicationsWindowAndClosesThroughIt) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X11 display";
    const std::unique_ptr<QQuickWindow> window = create<QQuickWindow>(R"(
import QtQuick
import Morvik.Feedback

Window {
    id: window
    width: 460
    height: 580
    property FeedbackView model: FeedbackView {
        intent: FeedbackView.Praise
        onCloseRequested: window.close()
    }
    FeedbackComposer {
        anchors.fill: parent
        view: window.model
    }
}
)");
    ASSERT_TRUE(window);
    auto* view = window->property("model").value<FeedbackView*>();
    ASSERT_NE(view, nullptr);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    QQuickItem* root = window->contentItem();
    QQuickItem* hint = findItem(root, QStringLiteral("hint"));
    QQuickItem* rewardRow = findItem(root, QStringLiteral("rewardRow"));
    QQuickItem* bugCard = findItem(root, QStringLiteral("intentCard1"));
    QQuickItem* close = findItem(root, QStringLiteral("closeButton"));
    ASSERT_TRUE(hint && rewardRow && bugCard && close);
    EXPECT_EQ(hint->property("text").toString(), QStringLiteral("Add a line, then Send."));
    EXPECT_FALSE(rewardRow->isVisible()) << "no reward row for praise";

    const auto click = [&](QQuickItem* item) {
        QTest::mouseClick(window.get(), Qt::LeftButton, {},
                          item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
    };
    click(bugCard);
    EXPECT_EQ(view->intent(), FeedbackIntent::bug);
    EXPECT_TRUE(waitUntil([&] { return rewardRow->isVisible(); }));
    EXPECT_EQ(hint->property("text").toString(),
              QStringLiteral("Add a line about what went wrong, then Send."));

    click(close);
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
}

TEST_F(FeedbackModuleTest, TheIdeaCardComesUpOverTheScreenAndOpensTheComposerSheet) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X11 display";
    // A user long enough with the application, on a preference file of the test's own.
    PreferenceStore store(folder.filePath(QStringLiteral("nudge.ini")));
    IdeaNudge::setDefaults(&store);
    Feedback::setAppKey(QStringLiteral("module-app"));
    IdeaNudge::set(QStringLiteral("firstSeen"), double(QDateTime::currentSecsSinceEpoch() - 30 * 86400));
    IdeaNudge::set(QStringLiteral("sessions"), 10);

    const std::unique_ptr<QQuickWindow> window = create<QQuickWindow>(R"(
import QtQuick
import Morvik.Feedback

Window {
    width: 640
    height: 700
    FeedbackIdeaNudge {
        objectName: "nudge"
        anchors.fill: parent
        appearDelay: 200
        stayTime: 60000
    }
}
)");
    ASSERT_TRUE(window);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QQuickItem* root = window->contentItem();
    QQuickItem* card = findItem(root, QStringLiteral("ideaNudgeCard"));
    QQuickItem* share = findItem(root, QStringLiteral("shareIdea"));
    ASSERT_TRUE(card && share);
    ASSERT_TRUE(waitUntil([&] { return card->isVisible() && card->opacity() == 1; }));
    EXPECT_EQ(IdeaNudge::shownAt().size(), 1);
    // Centred at the bottom, 18 above the edge, once it has come to rest.
    EXPECT_TRUE(waitUntil([&] { return qAbs(card->y() + card->height() - (window->height() - 18)) < 1; }));
    EXPECT_NEAR(card->x() + card->width() / 2, window->width() / 2.0, 1);
    const QImage picture = window->grabWindow();
    EXPECT_TRUE(picture.save(QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS)))
                                 .filePath(QStringLiteral("idea-nudge-card.png"))));

    QTest::mouseClick(window.get(), Qt::LeftButton, {},
                      share->mapToScene(QPointF(share->width() / 2, share->height() / 2)).toPoint());
    EXPECT_TRUE(waitUntil([&] { return findItem(root, QStringLiteral("intentCard0")) != nullptr; }))
        << "the composer sheet is open";
    QTest::qWait(300);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return findItem(root, QStringLiteral("intentCard0")) == nullptr; }))
        << "Escape closes the sheet";
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("dismissals")), 0);
    IdeaNudge::setDefaults(nullptr);
}

} // namespace
