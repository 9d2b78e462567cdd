// Finding the owner's front window in the desktop's window list.

#include "DesktopWindows.h"
#include "OwnerWindowFrame.h"

#include <gtest/gtest.h>

namespace {

using FeedbackExternalHost::frontWindowFrame;

QVariantMap bounds(QVariant x, QVariant y, QVariant width, QVariant height) {
    return {{QStringLiteral("X"), x},
            {QStringLiteral("Y"), y},
            {QStringLiteral("Width"), width},
            {QStringLiteral("Height"), height}};
}

QVariantMap window(QVariant pid, QVariant layer, QVariantMap frame,
                   std::optional<QVariant> alpha = std::nullopt) {
    QVariantMap entry{{DesktopWindows::ownerPIDKey, pid},
                      {DesktopWindows::layerKey, layer},
                      {DesktopWindows::boundsKey, frame}};
    if (alpha)
        entry.insert(DesktopWindows::alphaKey, *alpha);
    return entry;
}

const QVariantMap ownerWindow = window(4242, 0, bounds(100, 50, 800, 600));
const QRectF ownerFrame(100, 350, 800, 600); // with a primary screen 1000 high

TEST(FrontWindowFrame, FlipsTheFirstQualifyingOwnerWindow) {
    // A small palette in front of the document window is passed over.
    const QList<QVariantMap> list{window(4242, 0, bounds(10, 10, 250, 400)), ownerWindow,
                                  window(4242, 0, bounds(0, 0, 1200, 900))};
    EXPECT_EQ(frontWindowFrame(list, 4242, 1000), ownerFrame);
    EXPECT_EQ(frontWindowFrame({ownerWindow}, 4242, 0), QRectF(100, -650, 800, 600));
    EXPECT_EQ(frontWindowFrame({}, 4242, 1000), std::nullopt);
}

struct SkipCase {
    const char* name;
    QVariantMap entry;
};

TEST(FrontWindowFrame, SkipsEntriesThatDoNotQualify) {
    QVariantMap noPid = ownerWindow;
    noPid.remove(DesktopWindows::ownerPIDKey);
    QVariantMap noLayer = ownerWindow;
    noLayer.remove(DesktopWindows::layerKey);
    QVariantMap noBounds = ownerWindow;
    noBounds.remove(DesktopWindows::boundsKey);
    QVariantMap partialBounds = ownerWindow;
    partialBounds.insert(
        DesktopWindows::boundsKey,
        QVariantMap{{QStringLiteral("X"), 1}, {QStringLiteral("Y"), 1}, {QStringLiteral("Width"), 800}});
    QVariantMap textBounds = ownerWindow;
    textBounds.insert(DesktopWindows::boundsKey, QStringLiteral("100,50,800,600"));
    const SkipCase cases[] = {
        {"another process", window(4243, 0, bounds(100, 50, 800, 600))},
        {"no process", noPid},
        {"process as text", window(QStringLiteral("4242"), 0, bounds(100, 50, 800, 600))},
        {"process as truth value", window(true, 0, bounds(100, 50, 800, 600))},
        {"kept above (layer 3)", window(4242, 3, bounds(100, 50, 800, 600))},
        {"dock layer", window(4242, 20, bounds(100, 50, 800, 600))},
        {"no layer", noLayer},
        {"layer as text", window(4242, QStringLiteral("0"), bounds(100, 50, 800, 600))},
        {"fully transparent", window(4242, 0, bounds(100, 50, 800, 600), 0.0)},
        {"negative alpha", window(4242, 0, bounds(100, 50, 800, 600), -0.5)},
        {"no bounds", noBounds},
        {"bounds not a map", textBounds},
        {"bounds missing a value", partialBounds},
        {"width as text", window(4242, 0, bounds(100, 50, QStringLiteral("800"), 600))},
        {"too narrow", window(4242, 0, bounds(100, 50, 279.5, 600))},
        {"too low", window(4242, 0, bounds(100, 50, 800, 119))},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frontWindowFrame({c.entry}, 4242, 1000), std::nullopt);
        // Skipping goes on to the next entry.
        EXPECT_EQ(frontWindowFrame({c.entry, ownerWindow}, 4242, 1000), ownerFrame);
    }
}

struct AcceptCase {
    const char* name;
    QVariantMap entry;
    QRectF frame;
};

TEST(FrontWindowFrame, AcceptsEveryKindOfNumber) {
    const AcceptCase cases[] = {
        {"without alpha", ownerWindow, ownerFrame},
        {"alpha as text is not looked at", window(4242, 0, bounds(100, 50, 800, 600), QStringLiteral("0")),
         ownerFrame},
        {"half transparent", window(4242, 0, bounds(100, 50, 800, 600), 0.5), ownerFrame},
        {"64-bit process id", window(qint64(4242), qint64(0), bounds(100, 50, 800, 600)), ownerFrame},
        {"unsigned values", window(4242u, 0u, bounds(100u, 50u, 800u, 600u)), ownerFrame},
        {"real layer truncated to 0", window(4242, 0.4, bounds(100, 50, 800, 600)), ownerFrame},
        {"smallest size", window(4242, 0, bounds(0, 0, 280, 120)), QRectF(0, 880, 280, 120)},
        {"fractional bounds", window(4242, 0, bounds(10.5, 20.25, 400.5, 300)),
         QRectF(10.5, 679.75, 400.5, 300)},
    };
    for (const AcceptCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frontWindowFrame({c.entry}, 4242, 1000), c.frame);
    }
}

} // namespace
