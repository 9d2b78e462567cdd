// What leaves the machine is what the user chose: areas blacked out in the redaction editor (drawn
// with the pointer and with the keyboard, undone, cleared) are black in the picture the service
// receives and in the copy the outbox keeps, the rest of the picture is unchanged; and "What will be
// sent" shows exactly the fields of the report that is then posted.

#include "ComposerWindowFixture.h"
#include "FeedbackView.h"
#include "SnapshotRedaction.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include <algorithm>
#include <cstdlib>

namespace {

class ComposerRedactionTest : public ComposerWindowFixture {
protected:
    QPoint at(QQuickItem* item, double fx, double fy) {
        return item->mapToScene(QPointF(item->width() * fx, item->height() * fy)).toPoint();
    }
    void click(QQuickView* window, QQuickItem* target) {
        QTest::mouseClick(window, Qt::LeftButton, {}, at(target, 0.5, 0.5));
    }
    // A pointer drag over the canvas, between two points given as fractions of it.
    void drag(QQuickView* window, QQuickItem* canvas, QPointF from, QPointF to) {
        QTest::mousePress(window, Qt::LeftButton, {}, at(canvas, from.x(), from.y()));
        for (int step = 1; step <= 4; ++step) {
            const double t = step / 4.0;
            QTest::mouseMove(
                window, at(canvas, from.x() + (to.x() - from.x()) * t, from.y() + (to.y() - from.y()) * t));
        }
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(canvas, to.x(), to.y()));
    }

    // Opens the editor from the snapshot row with the keyboard and waits for its picture.
    QQuickItem* openEditor(QQuickView* window, FeedbackView* view) {
        QQuickItem* link = item(window, "redactButton");
        if (!link)
            return nullptr;
        link->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(window, Qt::Key_Return);
        QQuickItem* editor = item(window, "redactionEditor");
        if (!editor || !waitUntil([&] { return editor->isVisible() && view->hasRedactionPicture(); }))
            return nullptr;
        QTest::qWait(50);
        return item(window, "redactionCanvas");
    }
};

// Whether the picture is black inside the areas (a margin of a few pixels left for the scaling and
// compression of the upload) and, sampled on a grid, like the original outside them.
void expectRedacted(const QImage& received, const QImage& original, const QList<QRectF>& areas) {
    ASSERT_FALSE(received.isNull());
    const QImage reference =
        original.scaled(received.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QList<QRect> insides;
    for (const QRectF& area : areas)
        insides << QRectF(area.x() * received.width(), area.y() * received.height(),
                          area.width() * received.width(), area.height() * received.height())
                       .toAlignedRect();
    auto within = [&](int x, int y, int margin) {
        return std::any_of(insides.begin(), insides.end(), [&](const QRect& inside) {
            return inside.adjusted(-margin, -margin, margin, margin).contains(x, y);
        });
    };
    int blackChecked = 0;
    int outsideChecked = 0;
    for (int y = 0; y < received.height(); y += 7) {
        for (int x = 0; x < received.width(); x += 7) {
            const QColor seen = received.pixelColor(x, y);
            if (within(x, y, -4)) {
                EXPECT_LT(qMax(seen.red(), qMax(seen.green(), seen.blue())), 24) << "at " << x << "," << y;
                ++blackChecked;
            } else if (!within(x, y, 5)) {
                const QColor expected = reference.pixelColor(x, y);
                const int difference = std::abs(seen.red() - expected.red()) +
                                       std::abs(seen.green() - expected.green()) +
                                       std::abs(seen.blue() - expected.blue());
                EXPECT_LT(difference, 60) << "at " << x << "," << y;
                ++outsideChecked;
            }
        }
    }
    EXPECT_GT(blackChecked, 20);
    EXPECT_GT(outsideChecked, 100);
}

TEST_F(ComposerRedactionTest, DrawnAreasAreBlackInTheUploadAndTheRestIsUnchanged) {
    const QByteArray snapshot = ownerPicture();
    QQuickView* window = present(FeedbackIntent::bug, snapshot);
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_TRUE(waitUntil([&] { return view->hasThumbnail(); }));
    QQuickItem* canvas = openEditor(window, view);
    ASSERT_NE(canvas, nullptr);
    picture(window, "redaction-editor-empty.png");

    // Drawn, undone with Ctrl+Z, a keyboard frame added and cleared: nothing is left.
    drag(window, canvas, {0.1, 0.1}, {0.3, 0.3});
    ASSERT_EQ(view->redactions().size(), 1);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->redactions().size(), 0);
    ASSERT_TRUE(canvas->hasActiveFocus());
    QTest::keyClick(window, Qt::Key_Right);
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_EQ(view->redactions().size(), 1);
    EXPECT_NEAR(view->redactions().first().x(), 0.42, 0.001) << "the frame moved right by one step";
    click(window, item(window, "clearButton"));
    EXPECT_TRUE(view->redactions().isEmpty());

    // The area that stays: the orange block of the owner's picture and some of its bar.
    const QRectF area(0.03, 0.05, 0.45, 0.45);
    drag(window, canvas, area.topLeft(), area.bottomRight());
    ASSERT_EQ(view->redactions().size(), 1);
    const QRectF drawn = view->redactions().first();
    EXPECT_NEAR(drawn.x(), area.x(), 0.01);
    EXPECT_NEAR(drawn.bottom(), area.bottom(), 0.01);
    picture(window, "redaction-editor-drawn.png");
    click(window, item(window, "redactionDone"));
    ASSERT_TRUE(waitUntil([&] { return !item(window, "redactionEditor")->isVisible(); }));
    EXPECT_EQ(focusName(window), QStringLiteral("redactButton"))
        << "the focus returns to what opened the page";

    // The thumbnail shows the area black.
    const QImage thumbnail = view->thumbnail();
    const QColor middle = thumbnail.pixelColor(int(thumbnail.width() * (drawn.center().x())),
                                               int(thumbnail.height() * (drawn.center().y())));
    EXPECT_EQ(middle, QColor(Qt::black));
    picture(window, "redaction-form.png");

    view->setMessage(QStringLiteral("The export dialog shows the wrong account"));
    view->submit();
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    const auto uploads = standIn.requests(QStringLiteral("/screenshot"));
    ASSERT_EQ(uploads.size(), 1);
    expectRedacted(QImage::fromData(uploads.first().body), QImage::fromData(snapshot), {drawn});
}

// With the service unreachable, the report and its snapshot wait in the outbox: the kept picture is
// already the redacted one. A later attempt after more areas are drawn uploads the new picture.
TEST_F(ComposerRedactionTest, TheOutboxKeepsOnlyTheRedactedPicture) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QUrl down(QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()));
    probe.close();
    Feedback::setFeedbackServiceURL(down);

    const QByteArray snapshot = ownerPicture();
    QQuickView* window = present(FeedbackIntent::idea, snapshot);
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_TRUE(waitUntil([&] { return view->hasThumbnail(); }));
    const QRectF area(0.5, 0.2, 0.4, 0.6);
    view->addRedaction(area);
    view->setMessage(QStringLiteral("Sync stalls at 99%"));
    view->submit();
    ASSERT_TRUE(waitUntil([&] { return view->hasError(); }, 20s));

    const QStringList kept =
        QDir(FeedbackOutbox::directory()).entryList({QStringLiteral("*.snapshot")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    QFile file(QDir(FeedbackOutbox::directory()).filePath(kept.first()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    expectRedacted(QImage::fromData(file.readAll()), QImage::fromData(snapshot), {area});

    // The service comes back but refuses the report for now: the picture with another area went up.
    Feedback::setFeedbackServiceURL(standIn.baseUrl());
    standIn.setReply(QStringLiteral("POST"), QStringLiteral("/report"), ScriptedReply::json(503, "{}"));
    const QRectF second(0.05, 0.7, 0.3, 0.25);
    view->addRedaction(second);
    view->submit();
    ASSERT_TRUE(waitUntil(
        [&] { return !view->sending() && standIn.requests(QStringLiteral("/report")).size() == 1; }, 20s));
    ASSERT_EQ(standIn.requests(QStringLiteral("/screenshot")).size(), 1);

    // One more area before the next attempt: that attempt uploads the picture again, never pointing
    // the report at the earlier one.
    standIn.clearReplies();
    const QRectF third(0.6, 0.02, 0.35, 0.1);
    view->addRedaction(third);
    view->submit();
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }, 20s));
    const auto uploads = standIn.requests(QStringLiteral("/screenshot"));
    ASSERT_EQ(uploads.size(), 2);
    expectRedacted(QImage::fromData(uploads.last().body), QImage::fromData(snapshot), {area, second, third});
    const QJsonObject report =
        QJsonDocument::fromJson(standIn.requests(QStringLiteral("/report")).last().body).object();
    const QString address = report.value(QStringLiteral("screenshot_url")).toString();
    const QString prefix = standIn.url(QStringLiteral("/screenshot/")).toString();
    ASSERT_TRUE(address.startsWith(prefix)) << address.toStdString();
    const auto stored = standIn.inbox().screenshot(address.mid(prefix.size()));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->bytes, uploads.last().body) << "the report points at the last picture";
}

TEST(SnapshotRedactionTest, BurnsWholePixelsAndRefusesWhatIsNoPicture) {
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(Qt::white);
    // A quarter of a pixel into the next row and column still blacks those pixels out.
    SnapshotRedaction::paint(picture, {QRectF(0.2, 0.2, 0.325, 0.325)});
    EXPECT_EQ(picture.pixelColor(2, 2), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(5, 5), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(6, 6), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(1, 1), QColor(Qt::white));

    // Areas outside the picture are clipped; nothing of an area beside it counts.
    EXPECT_EQ(SnapshotRedaction::clipped(QRectF(0.8, 0.8, 0.5, 0.5)), QRectF(0.8, 0.8, 0.2, 0.2));
    EXPECT_TRUE(SnapshotRedaction::clipped(QRectF(1.2, 0.1, 0.3, 0.3)).isEmpty());

    EXPECT_FALSE(SnapshotRedaction::burn(QByteArray("not a picture"), {QRectF(0, 0, 1, 1)}).has_value());
    const std::optional<QByteArray> burnt = SnapshotRedaction::burn(ownerPicture(), {QRectF(0, 0, 0.5, 1)});
    ASSERT_TRUE(burnt.has_value());
    const QImage decoded = QImage::fromData(*burnt);
    EXPECT_EQ(decoded.size(), QSize(900, 600));
    // Compressed: a few pixels from the edge, the area is black and the rest is not.
    EXPECT_LT(decoded.pixelColor(440, 300).lightness(), 8);
    EXPECT_GT(decoded.pixelColor(460, 300).lightness(), 100);
}

// The page lists the fields of the report as it would be posted; the body then posted has exactly
// those fields and values, apart from the three set while sending.
TEST_F(ComposerRedactionTest, WhatWillBeSentIsWhatIsPosted) {
    Feedback::setVersion(QStringLiteral("4.2"));
    Feedback::setBuild(QStringLiteral("977"));
    Feedback::setBundleExtras([] {
        return QVariantMap{{QStringLiteral("plan"), QStringLiteral("studio")}, {QStringLiteral("seats"), 3}};
    });
    QQuickView* window = present(FeedbackIntent::idea, ownerPicture());
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    view->setMessage(QStringLiteral("  Snap to guides in the ruler  "));
    view->setContact(QStringLiteral("sam@example.org"));

    click(window, item(window, "disclosureLink"));
    QQuickItem* page = item(window, "disclosurePage");
    ASSERT_TRUE(waitUntil([&] { return page->isVisible(); }));
    EXPECT_EQ(focusName(window), QStringLiteral("disclosureBack"));
    picture(window, "disclosure.png");
    QMap<QString, QString> shown;
    for (const QVariant& row : page->property("rows").toList()) {
        const QVariantMap map = row.toMap();
        shown.insert(map.value(QStringLiteral("key")).toString(),
                     map.value(QStringLiteral("value")).toString());
    }
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !page->isVisible(); }));
    EXPECT_EQ(focusName(window), QStringLiteral("disclosureLink"));

    view->submit();
    ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
    const auto reports = standIn.requests(QStringLiteral("/report"));
    ASSERT_EQ(reports.size(), 1);
    const QJsonObject posted = QJsonDocument::fromJson(reports.first().body).object();
    QMap<QString, QString> wire;
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (it.key() == QLatin1String("bundle")) {
            const QJsonObject bundle = it.value().toObject();
            for (auto entry = bundle.begin(); entry != bundle.end(); ++entry)
                wire.insert(QStringLiteral("bundle.") + entry.key(), entry.value().toVariant().toString());
        } else {
            wire.insert(it.key(), it.value().toString());
        }
    }
    EXPECT_EQ(shown.keys(), wire.keys());
    const QStringList setWhileSending{QStringLiteral("bundle.ts"), QStringLiteral("client_report_id"),
                                      QStringLiteral("screenshot_url")};
    for (auto it = wire.begin(); it != wire.end(); ++it) {
        if (setWhileSending.contains(it.key())) {
            EXPECT_FALSE(it.value().isEmpty()) << it.key().toStdString();
        } else {
            EXPECT_EQ(shown.value(it.key()), it.value()) << it.key().toStdString();
        }
    }
    EXPECT_EQ(shown.value(QStringLiteral("message")), QStringLiteral("Snap to guides in the ruler"));
    EXPECT_EQ(shown.value(QStringLiteral("contact")), QStringLiteral("sam@example.org"));
    EXPECT_EQ(shown.value(QStringLiteral("bundle.plan")), QStringLiteral("studio"));
    EXPECT_EQ(shown.value(QStringLiteral("screenshot_url")), QStringLiteral("A snapshot of the screen"));
    EXPECT_EQ(standIn.requests(QStringLiteral("/screenshot")).size(), 1);
}

} // namespace
