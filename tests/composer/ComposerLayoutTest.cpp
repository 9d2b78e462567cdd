// The composer's layout in every state that changes it: each intent, with and without a snapshot, a
// long product name, a long reference code, German and French, a dark palette. In each, every item
// on screen lies inside the window (items of a scrolling area inside it sideways), no text is cut
// short or runs past its item, the form fits without scrolling where it should, Send stays where it
// is when typing starts, and the colours of text reach 4.5:1. A picture of each state is saved.

#include "ComposerWindowFixture.h"
#include "FeedbackTranslations.h"
#include "FeedbackView.h"
#include "ReadableColor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPalette>
#include <QQuickWindow>

#include <cmath>

namespace {

struct LayoutCase {
    const char* name;
    FeedbackIntent intent;
    bool snapshot;
    const char* product;
    const char* locale;
    bool dark;
    // 0: the form; otherwise the success screen with a reference code this long.
    int codeLength;
    // The form opens without anything below the fold.
    bool fitsUnscrolled;
};

// Test names and failure messages show the case's name.
void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.name;
}

const LayoutCase layoutCases[] = {
    {"idea-snapshot", FeedbackIntent::idea, true, "Sketchpad", "en", false, 0, true},
    {"bug-snapshot", FeedbackIntent::bug, true, "Sketchpad", "en", false, 0, true},
    {"praise", FeedbackIntent::praise, false, "Sketchpad", "en", false, 0, true},
    {"long-product", FeedbackIntent::idea, false, "Northwind Vector Illustration Studio Professional Edition",
     "en", false, 0, true},
    {"german-idea-snapshot", FeedbackIntent::idea, true, "Sketchpad", "de", false, 0, true},
    {"french-bug-snapshot", FeedbackIntent::bug, true, "Sketchpad", "fr", false, 0, true},
    {"dark-idea-snapshot", FeedbackIntent::idea, true, "Sketchpad", "en", true, 0, true},
    {"dark-bug", FeedbackIntent::bug, false, "Sketchpad", "en", true, 0, true},
    {"success-short-code", FeedbackIntent::idea, false, "Sketchpad", "en", false, 8, false},
    {"success-long-code", FeedbackIntent::bug, false, "Sketchpad", "en", false, 52, false},
    {"success-long-code-german", FeedbackIntent::praise, false,
     "Northwind Vector Illustration Studio Professional Edition", "de", true, 52, false},
};

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x30));
    palette.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x28));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7b, 0xd9));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

QString describe(const QQuickItem* item) {
    QString name = item->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(item->metaObject()->className());
    const QVariant text = item->property("text");
    if (text.isValid() && !text.toString().isEmpty())
        name += QStringLiteral(" \"") + text.toString().left(40) + QLatin1Char('"');
    return name;
}

// Every visible item against the window's bounds; descendants of a scrolling area against its sides.
void inspect(const QQuickItem* item, const QRectF& bounds, const QQuickItem* scroller, QStringList& faults) {
    if (!item->isVisible() || item->opacity() <= 0.0)
        return;
    const char* type = item->metaObject()->className();
    // Focus rings draw 3 points outside the control they surround, by design.
    if (QByteArray(type).startsWith("FeedbackFocusRing"))
        return;
    constexpr double slack = 0.5;
    if (item->width() > 0 && item->height() > 0) {
        const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        if (scroller) {
            const QRectF sides =
                scroller->mapRectToScene(QRectF(0, 0, scroller->width(), scroller->height()));
            if (rect.left() < sides.left() - slack || rect.right() > sides.right() + slack)
                faults << describe(item) + QStringLiteral(" runs past the sides of its scrolling area");
        } else if (!bounds.adjusted(-slack, -slack, slack, slack).contains(rect)) {
            faults << describe(item) + QStringLiteral(" lies outside the window: %1,%2 %3x%4")
                                           .arg(rect.x())
                                           .arg(rect.y())
                                           .arg(rect.width())
                                           .arg(rect.height());
        }
    }
    if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty()) {
        if (item->property("truncated").toBool())
            faults << describe(item) + QStringLiteral(" is cut short");
        const double contentWidth = item->property("contentWidth").toDouble();
        if (contentWidth > item->width() + 1)
            faults
                << describe(item) +
                       QStringLiteral(" runs past its item (%1 > %2)").arg(contentWidth).arg(item->width());
    }
    const QQuickItem* inner = item->inherits("QQuickFlickable") ? item : scroller;
    for (const QQuickItem* child : item->childItems())
        inspect(child, bounds, inner, faults);
}

class ComposerLayoutTest : public ComposerWindowFixture, public ::testing::WithParamInterface<LayoutCase> {
protected:
    void TearDown() override {
        ComposerWindowFixture::TearDown();
        QGuiApplication::setPalette(QPalette());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FeedbackTranslations::install();
    }
};

TEST_P(ComposerLayoutTest, EverythingInsideAndReadable) {
    const LayoutCase& c = GetParam();
    if (c.dark)
        QGuiApplication::setPalette(darkPalette());
    QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
    FeedbackTranslations::install();
    Feedback::setProductName(QString::fromUtf8(c.product));
    if (c.codeLength > 0) {
        const QString code = QString(QStringLiteral("FB7Q-")).leftJustified(c.codeLength, QLatin1Char('X'));
        standIn.setReply(
            QStringLiteral("POST"), QStringLiteral("/report"),
            ScriptedReply::json(200, QJsonDocument(QJsonObject{{QStringLiteral("code"), code}}).toJson()));
    }

    QQuickView* window =
        present(c.intent, c.snapshot ? std::optional<QByteArray>(ownerPicture()) : std::nullopt);
    ASSERT_NE(window, nullptr);
    FeedbackView* view = FeedbackComposerWindow::openView();
    ASSERT_NE(view, nullptr);
    if (c.snapshot) {
        ASSERT_TRUE(waitUntil([&] { return view->hasThumbnail(); }));
    }

    if (c.codeLength == 0) {
        QQuickItem* send = item(window, "sendButton");
        ASSERT_NE(send, nullptr);
        const double sendTop = send->mapToScene(QPointF()).y();
        view->setMessage(QStringLiteral("x"));
        QTest::qWait(50);
        EXPECT_EQ(send->mapToScene(QPointF()).y(), sendTop) << "Send moved when the hint went away";
        view->setMessage(QString());
        QTest::qWait(50);
        EXPECT_EQ(send->mapToScene(QPointF()).y(), sendTop);

        QQuickItem* scroll = item(window, "formScroll");
        ASSERT_NE(scroll, nullptr);
        if (c.fitsUnscrolled) {
            EXPECT_LE(scroll->property("contentHeight").toDouble(), scroll->height() + 0.5)
                << "the form needs scrolling before anything was typed";
        }
    } else {
        view->setMessage(QStringLiteral("Layers vanish on export"));
        view->submit();
        ASSERT_TRUE(waitUntil([&] { return view->showsSuccess(); }));
        EXPECT_EQ(view->codeText().size(), c.codeLength);
    }

    picture(window,
            (QStringLiteral("layout-") + QString::fromLatin1(c.name) + QStringLiteral(".png")).toLatin1());
    QStringList faults;
    inspect(window->contentItem(), QRectF(0, 0, window->width(), window->height()), nullptr, faults);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();

    // Text colours as drawn over the window's background.
    const QColor background = window->color();
    const QColor text = QGuiApplication::palette().color(QPalette::WindowText);
    EXPECT_GE(ReadableColor::contrast(ReadableColor::over(text, background, 0.6), background), 4.5)
        << "secondary text";
    EXPECT_GE(ReadableColor::contrast(view->accentText(), background), 4.5) << "links";
    EXPECT_GE(ReadableColor::contrast(view->disabledInk(), view->disabledFill()), 4.5) << "disabled Send";
    EXPECT_GE(ReadableColor::contrast(view->accentInk(), view->accent()), 4.5) << "enabled Send";
}

INSTANTIATE_TEST_SUITE_P(
    States, ComposerLayoutTest, ::testing::ValuesIn(layoutCases),
    [](const ::testing::TestParamInfo<LayoutCase>& info) {
        return QString::fromLatin1(info.param.name).remove(QLatin1Char('-')).toStdString();
    });

TEST(ReadableColorTest, ReachesTheRatioOrKeepsTheColour) {
    struct Row {
        QColor text;
        QColor background;
    };
    const Row rows[] = {
        {QColor(0xc8, 0xa8, 0x72), QColor(0xef, 0xef, 0xef)}, // beige accent on a light window
        {QColor(0xc8, 0xa8, 0x72), QColor(0x2d, 0x2d, 0x30)}, // the same on a dark one
        {QColor(0x1a, 0x1a, 0x1f), QColor(0x7f, 0x6c, 0x4c)}, // dark ink on a faded fill
        {QColor(0x80, 0x80, 0x80), QColor(0x77, 0x77, 0x77)}, // grey on grey
        {QColor(Qt::black), QColor(Qt::white)},
    };
    for (const Row& row : rows) {
        const QColor readable = ReadableColor::readableOn(row.text, row.background);
        EXPECT_GE(ReadableColor::contrast(readable, row.background), 4.5) << row.text.name().toStdString();
        if (ReadableColor::contrast(row.text, row.background) >= 4.5) {
            EXPECT_EQ(readable, row.text) << "a readable colour is kept as it is";
        }
    }
    EXPECT_NEAR(ReadableColor::contrast(Qt::black, Qt::white), 21.0, 0.01);
}

} // namespace
