#include "FeedbackRewards.h"
#include "PreferenceStore.h"
#include "ServiceFixture.h"

namespace {

using Feedback::Rewards;

const QByteArray goodBody =
    R"({"base_usd":25,"max_usd":100,"source":"service","copy":{"settings_line":"S","sheet_line":"H",)"
    R"("confirm_bug":"B","confirm_idea":"I"}})";

class RewardsTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        forget(QStringLiteral("notes-app"));
        forget(QStringLiteral("other-app"));
        forget(QString());
    }
    static void forget(const QString& appKey) {
        PreferenceStore::standard().remove(QStringLiteral("velquist.fb.rewards.") + appKey);
    }
    static QVariant stored(const QString& appKey) {
        return PreferenceStore::standard().value(QStringLiteral("velquist.fb.rewards.") + appKey);
    }
    void refresh() { await(Feedback::refreshRewardsTask()); }
};

TEST_F(RewardsTest, BuiltinSetIsUsedWhenNothingIsStored) {
    const Rewards rewards = Feedback::rewards();
    EXPECT_EQ(rewards, Rewards::builtin());
    EXPECT_EQ(rewards.source, QStringLiteral("builtin"));
    EXPECT_EQ(rewards.base_usd, 10);
    EXPECT_EQ(rewards.max_usd, 50);
    EXPECT_TRUE(rewards.copy.confirm_bug.endsWith(QStringLiteral("lands at")));
    EXPECT_TRUE(rewards.copy.confirm_idea.endsWith(QStringLiteral("lands at")));
}

TEST_F(RewardsTest, FetchedAnswerIsStoredByteForByteAndRead) {
    const QByteArray body = QByteArray(goodBody).replace("\"source\"", "\"campaign\":{\"x\":[1]},\"source\"");
    service.enqueue("GET", "/rewards", ScriptedReply::json(200, body));
    refresh();
    const auto requests = service.requests("/rewards");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].query.queryItemValue(QStringLiteral("app")), QStringLiteral("notes-app"));
    EXPECT_EQ(requests[0].query.queryItems().size(), 1);
    EXPECT_FALSE(requests[0].hasHeader("x-fb-key"));
    EXPECT_EQ(stored(QStringLiteral("notes-app")).toByteArray(), body) << "extra key included";
    const Rewards rewards = Feedback::rewards();
    EXPECT_EQ(rewards.base_usd, 25);
    EXPECT_EQ(rewards.source, QStringLiteral("service"));
    EXPECT_EQ(rewards.copy.confirm_idea, QStringLiteral("I"));
}

TEST_F(RewardsTest, HealthyServiceWordingIsDecoded) {
    refresh();
    EXPECT_NE(Feedback::rewards(), Rewards::builtin());
    EXPECT_EQ(Feedback::rewards(), Rewards::decode(QJsonDocument(ServiceStandIn::defaultRewards()).toJson()));
}

TEST_F(RewardsTest, AnythingButAnExact200ThatDecodesLeavesTheStoreAlone) {
    service.enqueue("GET", "/rewards", ScriptedReply::json(200, goodBody));
    refresh();
    const ScriptedReply unusable[] = {
        ScriptedReply::json(204, {}),
        ScriptedReply::json(304, goodBody),
        ScriptedReply::json(201, goodBody),
        ScriptedReply::json(200, {}),
        ScriptedReply::json(200, "not json"),
        ScriptedReply::json(200, QByteArray(goodBody).replace(R"(,"confirm_idea":"I")", "")),
        ScriptedReply::json(500, goodBody),
        ScriptedReply::cut(5, 200, goodBody),
    };
    for (const ScriptedReply& reply : unusable) {
        service.enqueue("GET", "/rewards", reply);
        refresh();
        EXPECT_EQ(stored(QStringLiteral("notes-app")).toByteArray(), goodBody) << "status " << reply.status;
    }
}

TEST_F(RewardsTest, SlowServiceTimesOutSilently) {
    DeliveryTimings::setRewardsTimeout(std::chrono::milliseconds(200));
    service.enqueue("GET", "/rewards", ScriptedReply::delayed(std::chrono::seconds(2), 200, goodBody));
    refresh();
    EXPECT_FALSE(stored(QStringLiteral("notes-app")).isValid());
}

TEST_F(RewardsTest, AppKeyNeverGoesToAPlainHttpAddressOfAnotherMachine) {
    // 0.0.0.0 reaches this machine when connected to, but is not a loopback address.
    QUrl address = service.baseUrl();
    address.setHost(QStringLiteral("0.0.0.0"));
    Feedback::setFeedbackServiceURL(address);
    refresh();
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_FALSE(stored(QStringLiteral("notes-app")).isValid());
}

TEST_F(RewardsTest, EmptyAppKeySendsNothingAndReadsTheBareEntry) {
    Feedback::setAppKey(QString());
    refresh();
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_EQ(Feedback::rewardsCacheKey(), QStringLiteral("velquist.fb.rewards."));
    EXPECT_EQ(Feedback::rewards(), Rewards::builtin());
    PreferenceStore::standard().setValue(QStringLiteral("velquist.fb.rewards."), goodBody);
    EXPECT_EQ(Feedback::rewards().base_usd, 25);
}

TEST_F(RewardsTest, EachAppKeyKeepsItsOwnEntry) {
    service.enqueue("GET", "/rewards", ScriptedReply::json(200, goodBody));
    refresh();
    Feedback::setAppKey(QStringLiteral("other-app"));
    EXPECT_EQ(Feedback::rewards(), Rewards::builtin()) << "the other key has nothing stored yet";
    const QByteArray otherBody = QByteArray(goodBody).replace("25", "5");
    service.enqueue("GET", "/rewards", ScriptedReply::json(200, otherBody));
    refresh();
    EXPECT_EQ(Feedback::rewards().base_usd, 5);
    Feedback::setAppKey(QStringLiteral("notes-app"));
    EXPECT_EQ(Feedback::rewards().base_usd, 25);
    EXPECT_EQ(stored(QStringLiteral("other-app")).toByteArray(), otherBody);
}

TEST_F(RewardsTest, AppKeyIsSentAsOneEscapedQueryValue) {
    const QString key = QStringLiteral("a b+c&d=e/ü");
    Feedback::setAppKey(key);
    refresh();
    const auto requests = service.requests("/rewards");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].query.queryItems(QUrl::FullyDecoded),
              (QList<std::pair<QString, QString>>{{QStringLiteral("app"), key}}));
    forget(key);
}

TEST_F(RewardsTest, BadStoredEntryFallsBackUntilARefreshReplacesIt) {
    PreferenceStore::standard().setValue(QStringLiteral("velquist.fb.rewards.notes-app"),
                                         QByteArray("{broken"));
    EXPECT_EQ(Feedback::rewards(), Rewards::builtin());
    EXPECT_EQ(stored(QStringLiteral("notes-app")).toByteArray(), "{broken");
    service.enqueue("GET", "/rewards", ScriptedReply::json(200, goodBody));
    refresh();
    EXPECT_EQ(Feedback::rewards().base_usd, 25);
}

TEST_F(RewardsTest, PlainEntryReturnsAtOnceAndFinishesLater) {
    service.enqueue("GET", "/rewards", ScriptedReply::delayed(std::chrono::milliseconds(100), 200, goodBody));
    bool finished = false;
    QEventLoop loop;
    Feedback::refreshRewards([&] {
        finished = true;
        loop.quit();
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(Feedback::rewards(), Rewards::builtin());
    loop.exec();
    EXPECT_EQ(Feedback::rewards().base_usd, 25);
}

struct DecodeCase {
    const char* name;
    QByteArray body;
    bool decodes;
};

class RewardsDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RewardsDecodeTest, StrictDecoding) {
    EXPECT_EQ(Rewards::decode(GetParam().body).has_value(), GetParam().decodes);
}

QByteArray with(const char* from, const char* to) {
    return QByteArray(goodBody).replace(from, to);
}

INSTANTIATE_TEST_SUITE_P(
    Rewards, RewardsDecodeTest,
    ::testing::Values(
        DecodeCase{"Complete", goodBody, true},
        DecodeCase{"ExtraKeys", with("\"source\"", "\"more\":null,\"source\""), true},
        DecodeCase{"ExtraCopyKey", with("\"sheet_line\"", "\"footer\":1,\"sheet_line\""), true},
        DecodeCase{"WholeFloat", with("25", "25.0"), true}, DecodeCase{"Fraction", with("25", "25.5"), false},
        DecodeCase{"AmountAsText", with("25", "\"25\""), false},
        DecodeCase{"AmountNull", with("25", "null"), false},
        DecodeCase{"AmountBool", with("25", "true"), false},
        DecodeCase{"SourceNumber", with("\"service\"", "7"), false},
        DecodeCase{"SourceMissing", with("\"source\":\"service\",", ""), false},
        DecodeCase{"CopyNotObject", R"({"base_usd":1,"max_usd":2,"source":"s","copy":"x"})", false},
        DecodeCase{"ConfirmIdeaMissing", with(R"(,"confirm_idea":"I")", ""), false},
        DecodeCase{"ConfirmBugNull", with(R"("confirm_bug":"B")", R"("confirm_bug":null)"), false},
        DecodeCase{"KeysAreCaseSensitive", with("base_usd", "Base_usd"), false},
        DecodeCase{"CamelCaseIsNotAccepted", with("base_usd", "baseUsd"), false},
        DecodeCase{"TopLevelArray", "[]", false}, DecodeCase{"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RewardsValueTest, EncodeDecodeRoundTrip) {
    Rewards changed = Rewards::builtin();
    changed.max_usd = 75;
    changed.copy.sheet_line = QStringLiteral("Grüße");
    EXPECT_EQ(Rewards::decode(changed.encode()), changed);
    EXPECT_NE(changed, Rewards::builtin());
}

} // namespace
