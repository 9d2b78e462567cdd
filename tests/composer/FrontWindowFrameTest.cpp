// Finding the owner's front window in the desktop's window list.

#include "DesktopWindows.h"
#include "OwnerWindowFrame.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using FeedbackExternalHost::frontWindowFrame;

DesktopWindow window(std::optional<std::int32_t> pid, int layer, QRect bounds,
                     std::optional<double> alpha = std::nullopt) {
    return DesktopWindow{pid, layer, alpha, bounds};
}

const DesktopWindow ownerWindow = window(4242, 0, QRect(100, 50, 800, 600));
const QRectF ownerFrame(100, 350, 800, 600); // with a primary screen 1000 high

TEST(FrontWindowFrame, FlipsTheFirstQualifyingOwnerWindow) {
    // A small palette in front of the document window is passed over.
    const QList<DesktopWindow> list{window(4242, 0, QRect(10, 10, 250, 400)), ownerWindow,
                                    window(4242, 0, QRect(0, 0, 1200, 900))};
    EXPECT_EQ(frontWindowFrame(list, 4242, 1000), ownerFrame);
    EXPECT_EQ(frontWindowFrame({ownerWindow}, 4242, 0), QRectF(100, -650, 800, 600));
    EXPECT_EQ(frontWindowFrame({}, 4242, 1000), std::nullopt);
}

struct SkipCase {
    const char* name;
    DesktopWindow entry;
};

TEST(FrontWindowFrame, SkipsEntriesThatDoNotQualify) {
    const QRect frame(100, 50, 800, 600);
    const SkipCase cases[] = {
        {"another process", window(4243, 0, frame)},
        {"no process", window(std::nullopt, 0, frame)},
        {"kept above (layer 3)", window(4242, DesktopWindows::aboveLayer, frame)},
        {"dock layer", window(4242, DesktopWindows::dockLayer, frame)},
        {"popup layer", window(4242, DesktopWindows::popupLayer, frame)},
        {"negative layer", window(4242, -1, frame)},
        {"fully transparent", window(4242, 0, frame, 0.0)},
        {"negative alpha", window(4242, 0, frame, -0.5)},
        {"alpha not a number", window(4242, 0, frame, std::nan(""))},
        {"too narrow", window(4242, 0, QRect(100, 50, 279, 600))},
        {"too low", window(4242, 0, QRect(100, 50, 800, 119))},
        {"no size", window(4242, 0, QRect())},
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
    DesktopWindow entry;
    QRectF frame;
};

TEST(FrontWindowFrame, AcceptsVisibleOwnerWindowsOfAtLeastTheMinimumSize) {
    const AcceptCase cases[] = {
        {"without alpha", ownerWindow, ownerFrame},
        {"half transparent", window(4242, 0, QRect(100, 50, 800, 600), 0.5), ownerFrame},
        {"barely visible", window(4242, 0, QRect(100, 50, 800, 600), 1e-9), ownerFrame},
        {"smallest size", window(4242, 0, QRect(0, 0, 280, 120)), QRectF(0, 880, 280, 120)},
        {"partly off screen", window(4242, 0, QRect(-50, -30, 400, 300)), QRectF(-50, 730, 400, 300)},
    };
    for (const AcceptCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frontWindowFrame({c.entry}, 4242, 1000), c.frame);
    }
}

} // namespace
