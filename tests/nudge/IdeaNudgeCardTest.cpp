// The idea card on one screen, with short waits, the test's clock and a real preference file.
#include "IdeaNudgeCard.h"
#include "Feedback.h"
#include "IdeaNudge.h"
#include "PreferenceStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace std::chrono_literals;

namespace {

class IdeaNudgeCardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Feedback::resetForTests();
        Feedback::setAppKey(QStringLiteral("card-app"));
        store.emplace(dir.filePath(QStringLiteral("prefs.ini")));
        IdeaNudge::setDefaults(&*store);
        card.setClock([this] { return now; });
        card.setDelays(100ms, 300ms);
    }
    void TearDown() override {
        IdeaNudge::setDefaults(nullptr);
        Feedback::resetForTests();
    }
    // A user the schedule lets see the card.
    void eligibleUser() {
        IdeaNudge::set(QStringLiteral("firstSeen"), double(now.addDays(-30).toSecsSinceEpoch()));
        IdeaNudge::set(QStringLiteral("sessions"), 10);
    }
    static void spin(std::chrono::milliseconds duration) {
        QDeadlineTimer deadline(duration);
        while (!deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    QTemporaryDir dir;
    std::optional<PreferenceStore> store;
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    IdeaNudgeCard card;
};

TEST_F(IdeaNudgeCardTest, ComesUpAfterTheDelayStaysItsTimeAndCountsAsShown) {
    eligibleUser();
    QSignalSpy shown(&card, &IdeaNudgeCard::shownChanged);
    card.appeared();
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("sessions")), 11) << "the screen coming up is a session";
    EXPECT_FALSE(card.shown());
    ASSERT_TRUE(shown.wait(2000));
    EXPECT_TRUE(card.shown());
    EXPECT_EQ(IdeaNudge::shownAt(), QList<double>{double(now.toSecsSinceEpoch())});
    EXPECT_FALSE(card.line().isEmpty());
    ASSERT_TRUE(shown.wait(2000));
    EXPECT_FALSE(card.shown()) << "gone after its time";
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("lastDismissAt")), 0) << "going by itself is no dismissal";
}

TEST_F(IdeaNudgeCardTest, LeavingTheScreenFirstShowsNothingAndCountsNothing) {
    eligibleUser();
    card.appeared();
    card.disappeared();
    spin(300ms);
    EXPECT_FALSE(card.shown());
    EXPECT_TRUE(IdeaNudge::shownAt().isEmpty());
}

TEST_F(IdeaNudgeCardTest, CloseIsADismissalAndShareOpensTheSheetWithoutOne) {
    eligibleUser();
    QSignalSpy shown(&card, &IdeaNudgeCard::shownChanged);
    card.appeared();
    ASSERT_TRUE(shown.wait(2000));
    card.shareIdea();
    EXPECT_FALSE(card.shown());
    EXPECT_TRUE(card.sheetOpen());
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("dismissals")), 0);
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("lastSubmitAt")), 0);
    card.sheetClosed();
    EXPECT_FALSE(card.sheetOpen());

    // Fifteen days later the card may come again; this time it is waved away.
    now = now.addDays(15);
    card.appeared();
    ASSERT_TRUE(shown.wait(2000));
    ASSERT_TRUE(card.shown());
    card.dismiss();
    EXPECT_FALSE(card.shown());
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("dismissals")), 1);
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("lastDismissAt")), double(now.toSecsSinceEpoch()));
}

TEST_F(IdeaNudgeCardTest, NotEligibleNothingShows) {
    card.appeared(); // a first session: too new
    spin(300ms);
    EXPECT_FALSE(card.shown());
    EXPECT_TRUE(IdeaNudge::shownAt().isEmpty());
}

} // namespace
