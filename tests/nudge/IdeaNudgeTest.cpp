// The idea card's schedule on a real preference file, with the test's own clock.
#include "IdeaNudge.h"
#include "Feedback.h"
#include "FeedbackReport.h"
#include "PreferenceStore.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr double day = 86400;
const QDateTime epoch = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

QDateTime at(double daysAfterEpoch) {
    return epoch.addMSecs(qint64(daysAfterEpoch * day * 1000));
}

class IdeaNudgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Feedback::resetForTests();
        Feedback::setAppKey(QStringLiteral("app-1"));
        store.emplace(dir.filePath(QStringLiteral("prefs.ini")));
        IdeaNudge::setDefaults(&*store);
    }
    void TearDown() override {
        IdeaNudge::setDefaults(nullptr);
        Feedback::resetForTests();
    }
    // A user with enough history: `sessions` sessions, first seen long ago.
    void established(int sessions) {
        IdeaNudge::set(QStringLiteral("firstSeen"), seconds(-1000));
        IdeaNudge::set(QStringLiteral("sessions"), sessions);
    }
    static double seconds(double daysAfterEpoch) { return double(at(daysAfterEpoch).toSecsSinceEpoch()); }

    QTemporaryDir dir;
    std::optional<PreferenceStore> store;
};

TEST_F(IdeaNudgeTest, SessionsCountOnlyAfterSixHours) {
    EXPECT_EQ(IdeaNudge::noteSession(at(0)), 1);
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("firstSeen")), seconds(0));
    EXPECT_FALSE(IdeaNudge::eligible(at(0)));
    EXPECT_EQ(IdeaNudge::noteSession(at(5.0 / 24)), 1) << "5 hours later: the same session";
    EXPECT_EQ(IdeaNudge::noteSession(at(5.0 / 24 + 7.0 / 24)), 2) << "7 hours after the last counted";
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("firstSeen")), seconds(0));
    EXPECT_EQ(IdeaNudge::noteSession(at(1)), 3);
    EXPECT_FALSE(IdeaNudge::eligible(at(2.99))) << "fewer than 3 days since first seen";
    EXPECT_TRUE(IdeaNudge::eligible(at(3))) << "3 sessions and exactly 3 days";
}

TEST_F(IdeaNudgeTest, EligibilityTable) {
    const double now = 1000; // days after the epoch
    const struct Case {
        const char* name;
        int sessions;
        std::optional<double> submitted, dismissed; // days before now
        QList<double> shown;                        // days before now, oldest first
        bool eligible;
    } cases[] = {
        {"nothing else stored", 3, {}, {}, {}, true},
        {"two sessions", 2, {}, {}, {}, false},
        {"report 89 days ago", 3, 89, {}, {}, false},
        {"report 90 days ago", 3, 90, {}, {}, true},
        {"dismissed 13 days ago", 3, {}, 13, {}, false},
        {"dismissed 14 days ago", 3, {}, 14, {}, true},
        {"shown 400, 200, 20 days ago", 4, {}, {}, {400, 200, 20}, true},
        {"shown once 20 days ago, 7 sessions", 7, {}, {}, {20}, false},
        {"shown once 20 days ago, 8 sessions", 8, {}, {}, {20}, true},
        {"shown 13 days ago", 9, {}, {}, {13}, false},
        {"three shows within the year", 9, {}, {}, {364, 100, 30}, false},
        {"oldest of three now a year old", 9, {}, {}, {365, 100, 30}, true},
    };
    for (const Case& c : cases) {
        store.emplace(dir.filePath(QStringLiteral("table-%1.ini").arg(&c - cases)));
        IdeaNudge::setDefaults(&*store);
        IdeaNudge::set(QStringLiteral("firstSeen"), seconds(0));
        IdeaNudge::set(QStringLiteral("sessions"), c.sessions);
        if (c.submitted)
            IdeaNudge::set(QStringLiteral("lastSubmitAt"), seconds(now - *c.submitted));
        if (c.dismissed)
            IdeaNudge::set(QStringLiteral("lastDismissAt"), seconds(now - *c.dismissed));
        QList<double> shown;
        for (double before : c.shown)
            shown.append(seconds(now - before));
        IdeaNudge::setShownAt(shown);
        EXPECT_EQ(IdeaNudge::eligible(at(now)), c.eligible) << c.name;
    }
}

TEST_F(IdeaNudgeTest, ThirdDismissalTurnsTheCardOffEvenAfterAReport) {
    established(20);
    IdeaNudge::recordDismissal(at(0));
    IdeaNudge::recordDismissal(at(20));
    IdeaNudge::recordSubmission(at(30)); // counts from zero again
    IdeaNudge::recordDismissal(at(130));
    IdeaNudge::recordDismissal(at(150));
    EXPECT_TRUE(IdeaNudge::eligible(at(170))) << "two dismissals since the report";
    IdeaNudge::recordDismissal(at(170));
    EXPECT_FALSE(IdeaNudge::eligible(at(400)));
    IdeaNudge::recordSubmission(at(500));
    EXPECT_FALSE(IdeaNudge::eligible(at(700))) << "off stays off";
}

TEST_F(IdeaNudgeTest, AnAcceptedReportIsRecordedThroughDelivery) {
    established(20);
    IdeaNudge::recordDismissal(at(0));
    IdeaNudge::recordDismissal(at(20));
    // What delivery calls when the service accepts a report.
    Feedback::recordSubmission(at(40));
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("lastSubmitAt")), seconds(40));
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("dismissals")), 0);
    EXPECT_FALSE(IdeaNudge::eligible(at(129)));
    EXPECT_TRUE(IdeaNudge::eligible(at(130)));
}

TEST_F(IdeaNudgeTest, ShowsKeepTheSixMostRecentOldestFirst) {
    for (int i = 1; i <= 7; ++i)
        IdeaNudge::recordShown(at(i));
    EXPECT_EQ(IdeaNudge::shownAt(),
              (QList<double>{seconds(2), seconds(3), seconds(4), seconds(5), seconds(6), seconds(7)}));
}

TEST_F(IdeaNudgeTest, DamagedValuesReadAsNothingAndKeysFollowTheApplicationKey) {
    QSettings raw(store->fileName(), QSettings::IniFormat);
    raw.setValue(QStringLiteral("velquist.fbnudge.app-1.sessions"), QStringLiteral("many"));
    raw.setValue(QStringLiteral("velquist.fbnudge.app-1.shownAt"), QStringLiteral("[1, \"x\"]"));
    raw.setValue(QStringLiteral("velquist.fbnudge.app-1.firstSeen"), QStringLiteral("nan"));
    raw.sync();
    store->sync();
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("sessions")), 0);
    EXPECT_TRUE(IdeaNudge::shownAt().isEmpty());
    EXPECT_EQ(IdeaNudge::noteSession(at(0)), 1) << "starts over";
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("firstSeen")), seconds(0));

    Feedback::setAppKey(QStringLiteral("app-2"));
    EXPECT_EQ(IdeaNudge::prefix(), QStringLiteral("velquist.fbnudge.app-2."));
    EXPECT_EQ(IdeaNudge::get(QStringLiteral("sessions")), 0) << "another application's schedule";
    Feedback::setAppKey(QString());
    EXPECT_EQ(IdeaNudge::prefix(), QStringLiteral("velquist.fbnudge.."));
}

} // namespace
