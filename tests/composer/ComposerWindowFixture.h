#pragma once

// What the tests of the composer window in this process share: a fresh configuration pointed at the
// loopback service stand-in, opening the window, finding items by object name and saving pictures.

#include "DeliveryTimings.h"
#include "DisplayTestTools.h"
#include "EventLoopWait.h"
#include "Feedback.h"
#include "FeedbackComposerQml.h"
#include "FeedbackComposerWindow.h"
#include "FeedbackMenu.h"
#include "FeedbackOutbox.h"
#include "ItemSearch.h"
#include "PreferenceStore.h"
#include "ServiceStandIn.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// A picture standing in for the owner's window.
inline QByteArray ownerPicture() {
    QImage picture(900, 600, QImage::Format_RGB32);
    picture.fill(QColor(236, 240, 244));
    QPainter painter(&picture);
    painter.fillRect(QRect(0, 0, 900, 48), QColor(60, 80, 120));
    painter.fillRect(QRect(40, 90, 380, 240), QColor(230, 170, 80));
    painter.fillRect(QRect(460, 90, 400, 460), QColor(120, 170, 210));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

inline QString focusName(QQuickWindow* window) {
    QQuickItem* item = window->activeFocusItem();
    // Controls put the focus on themselves; their inner items have no names.
    while (item && item->objectName().isEmpty())
        item = item->parentItem();
    return item ? item->objectName() : QString();
}

// Types plain ASCII text into the window, one key at a time.
inline void typeText(QWindow* window, const QString& text) {
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

// The shared engine goes once every test has run, while the application still exists.
class QmlEngineTeardown : public ::testing::Environment {
public:
    void TearDown() override {
        QTest::qWait(50);
        FeedbackComposerQml::shutDown();
    }
};
inline const auto* const qmlEngineTeardown = ::testing::AddGlobalTestEnvironment(new QmlEngineTeardown);

// The composer window of this process on a fresh configuration, with the loopback service stand-in.
class ComposerWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X11 display";
        Feedback::resetForTests();
        DeliveryTimings::setScreenshotRetryDelay(50ms);
        ASSERT_TRUE(dir.isValid());
        FeedbackOutbox::setDirectory(dir.filePath(QStringLiteral("outbox")));
        ASSERT_TRUE(standIn.listen());
        Feedback::setFeedbackServiceURL(standIn.baseUrl());
        Feedback::setAppKey(QStringLiteral("app-1"));
        Feedback::setIngestKey(QStringLiteral("ingest-1"));
        Feedback::setProductName(QStringLiteral("Sketchpad"));
        PreferenceStore::standard().remove(QString::fromLatin1(Feedback::rememberedContactKey));
    }
    void TearDown() override {
        if (QQuickView* open = FeedbackComposerWindow::openWindow()) {
            open->close();
            waitUntil([] { return !FeedbackComposerWindow::isOpen(); });
        }
        FeedbackMenu::setAnchorWindow({});
        FeedbackOutbox::setDirectory(std::nullopt);
        DeliveryTimings::reset();
        Feedback::resetForTests();
    }

    // Opens the composer and waits until it is on screen with the keyboard focus.
    QQuickView* present(FeedbackIntent intent, std::optional<QByteArray> snapshot) {
        FeedbackComposerWindow::present(intent, std::move(snapshot));
        QQuickView* window = FeedbackComposerWindow::openWindow();
        if (!window || !waitUntil([&] { return window->isExposed() && window->isActive(); }))
            return nullptr;
        return window;
    }
    QQuickItem* item(QQuickView* window, const char* name) {
        QQuickItem* found = findItem(window->rootObject(), QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void picture(QQuickView* window, const char* name) {
        // Let animations (the success screen's fade and seal) come to rest first.
        QTest::qWait(900);
        const QImage image = window->grabWindow();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(460, 580));
        ASSERT_TRUE(image.save(
            QDir(artifactsDir(QStringLiteral(MORVIK_TEST_ARTIFACTS))).filePath(QString::fromLatin1(name))));
    }

    QTemporaryDir dir;
    ServiceStandIn standIn;
};
