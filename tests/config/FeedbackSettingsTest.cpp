#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackAccount.h"
#include "FeedbackIntent.h"
#include "PreferenceStore.h"

#include <QCoroTask>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

template <typename T> T await(QCoro::Task<T> task) {
    std::optional<T> result;
    QEventLoop loop;
    task.then([&](T value) {
        result = std::move(value);
        loop.quit();
    });
    if (!result)
        loop.exec();
    return std::move(*result);
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Feedback::resetForTests();
    }
    void TearDown() override { Feedback::resetForTests(); }
    PreferenceStore store(const char* name = "prefs.ini") {
        return PreferenceStore(dir.filePath(QString::fromLatin1(name)));
    }
    QTemporaryDir dir;
};

TEST_F(Settings, IdentityComesFromTheApplicationUntilWritten) {
    QGuiApplication::setApplicationDisplayName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Sketchpad"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1"));
    qApp->setProperty("build", QStringLiteral("417"));
    EXPECT_EQ(Feedback::productName(), QStringLiteral("Sketchpad"));
    EXPECT_EQ(Feedback::version(), QStringLiteral("2.1"));
    EXPECT_EQ(Feedback::build(), QStringLiteral("417"));
    EXPECT_EQ(Feedback::appVersionText(), QStringLiteral("2.1 (417)"));

    // Computed once: a later change of the application's identity does not show.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Sketchpad Pro"));
    EXPECT_EQ(Feedback::productName(), QStringLiteral("Sketchpad"));
    Feedback::setProductName(QStringLiteral("Other"));
    EXPECT_EQ(Feedback::productName(), QStringLiteral("Other"));

    Feedback::resetForTests();
    EXPECT_EQ(Feedback::productName(), QStringLiteral("Sketchpad Pro"));
    qApp->setProperty("build", QVariant());
}

TEST_F(Settings, DefaultsAndDerivedValues) {
    EXPECT_EQ(Feedback::appKey(), QString());
    EXPECT_EQ(Feedback::ingestKey(), QString());
    EXPECT_TRUE(Feedback::snapshotAttachedByDefault());
    EXPECT_FALSE(Feedback::snapshotOfferedWhenOff());
    EXPECT_FALSE(Feedback::suppressPrompts().has_value());
    EXPECT_FALSE(Feedback::composerDiagCode().has_value());
    EXPECT_EQ(Feedback::accentColor(), Feedback::defaultAccentColor());

    struct Case {
        bool attached, offered, captures;
    };
    for (const Case c : {Case{true, false, true}, Case{false, false, false}, Case{false, true, true},
                         Case{true, true, true}}) {
        Feedback::setSnapshotAttachedByDefault(c.attached);
        Feedback::setSnapshotOfferedWhenOff(c.offered);
        EXPECT_EQ(Feedback::capturesSnapshot(), c.captures) << c.attached << c.offered;
    }
}

TEST_F(Settings, LogGoesToTheHandlerOnTheCallersThreadOrNowhere) {
    Feedback::log(QStringLiteral("dropped without a handler"));
    QStringList lines;
    std::thread::id seenOn;
    Feedback::setLogHandler([&](const QString& line) {
        lines.append(line);
        seenOn = std::this_thread::get_id();
    });
    std::thread other([] { Feedback::log(QStringLiteral("records: from a thread")); });
    const auto otherId = other.get_id();
    other.join();
    EXPECT_EQ(lines, QStringList{QStringLiteral("records: from a thread")});
    EXPECT_EQ(seenOn, otherId);
}

TEST_F(Settings, ResolvesTheFirstUsableContactInKeyOrder) {
    struct Case {
        std::vector<std::pair<const char*, QVariant>> stored;
        std::optional<QStringList> keys;
        QString expected;
    };
    const std::vector<Case> cases = {
        {{{"feedback.contact.email", QStringLiteral("  me@example.org \n")}},
         std::nullopt,
         QStringLiteral("me@example.org")},
        {{{"feedback.contact.email", QStringLiteral("@example.org")},
          {"velquist.account.email", QStringLiteral("a b@example.org")},
          {"velquistAccountEmail", QStringLiteral("nodot@example")},
          {"account.email", QStringLiteral("ok@example.org")},
          {"signedInEmail", QStringLiteral("later@example.org")}},
         std::nullopt,
         QStringLiteral("ok@example.org")},
        {{{"signedInEmail", QStringLiteral("last@example.org")}},
         std::nullopt,
         QStringLiteral("last@example.org")},
        {{{"custom", QStringLiteral("c@example.org")},
          {"feedback.contact.email", QStringLiteral("r@example.org")}},
         QStringList{QStringLiteral("custom")},
         QStringLiteral("c@example.org")},
        {{{"feedback.contact.email", QStringLiteral("r@example.org")}}, QStringList{}, QString()},
        {{{"feedback.contact.email", QStringList{QStringLiteral("x@y.z")}}}, std::nullopt, QString()},
        {{}, std::nullopt, QString()},
    };
    int n = 0;
    for (const Case& c : cases) {
        PreferenceStore prefs = store(QByteArray("case" + QByteArray::number(n++) + ".ini").constData());
        for (const auto& [key, value] : c.stored)
            prefs.setValue(QString::fromLatin1(key), value);
        EXPECT_EQ(Feedback::resolveContactEmail(prefs, c.keys), c.expected) << n;
    }
}

TEST_F(Settings, RememberedContactPersistsAndWinsAtOnce) {
    // The standard store lives under XDG_CONFIG_HOME, which main() points into a temporary folder.
    Feedback::setContactEmail(QString());
    Feedback::rememberContact(QStringLiteral(" no-at-sign.example.org "));
    Feedback::rememberContact(QStringLiteral("a b@example.org"));
    EXPECT_NE(Feedback::contactEmail(), QStringLiteral("a b@example.org"));

    Feedback::rememberContact(QStringLiteral("  kept@example.org\n"));
    EXPECT_EQ(Feedback::contactEmail(), QStringLiteral("kept@example.org"));
    PreferenceStore reread(PreferenceStore::standard().fileName());
    EXPECT_EQ(reread.string(QString::fromLatin1(Feedback::rememberedContactKey)),
              QStringLiteral("kept@example.org"));

    // A leading at sign is stored, but resolution in a new process skips it.
    Feedback::rememberContact(QStringLiteral("@odd.example.org"));
    EXPECT_EQ(Feedback::contactEmail(), QStringLiteral("@odd.example.org"));
    Feedback::resetForTests();
    EXPECT_EQ(Feedback::contactEmail(), QString());

    Feedback::setContactEmail(QStringLiteral("assigned"));
    EXPECT_EQ(Feedback::contactEmail(), QStringLiteral("assigned"));
}

TEST_F(Settings, AccentInkFollowsLuminance) {
    const QColor dark = QColor::fromRgbF(0.1f, 0.1f, 0.12f, 1.0f);
    const QColor white = QColor::fromRgbF(1, 1, 1, 1);
    struct Case {
        QColor accent;
        QColor ink;
    };
    const Case cases[] = {
        {QColor::fromRgbF(1, 1, 1), dark},
        {QColor::fromRgbF(0, 0, 0), white},
        {QColor::fromRgbF(0.55f, 0.55f, 0.55f), white}, // exactly 0.55 is not above the threshold
        {QColor::fromRgbF(0.56f, 0.56f, 0.56f), dark},
        {Feedback::defaultAccentColor(), dark},
        {QColor::fromRgbF(0, 1, 0), dark}, // green alone is 0.7152
        {QColor::fromRgbF(1, 0, 1), white},
        {QColor(), white},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Feedback::accentInk(c.accent), c.ink) << c.accent.name().toStdString();
}

TEST(FeedbackIntent, VocabularyAndRawValues) {
    EXPECT_EQ(FeedbackIntents::fromRawValue(QStringLiteral("idea")), FeedbackIntent::idea);
    EXPECT_EQ(FeedbackIntents::fromRawValue(QStringLiteral("bug")), FeedbackIntent::bug);
    EXPECT_EQ(FeedbackIntents::fromRawValue(QStringLiteral("praise")), FeedbackIntent::praise);
    for (const char* raw : {"Bug", "", "ideas", " idea"})
        EXPECT_FALSE(FeedbackIntents::fromRawValue(QString::fromLatin1(raw))) << raw;
    EXPECT_EQ(FeedbackIntents::label(FeedbackIntent::praise), QStringLiteral("Send feedback"));
    EXPECT_EQ(FeedbackIntents::shortLabel(FeedbackIntent::bug), QStringLiteral("Bug"));
    EXPECT_EQ(FeedbackIntents::prompt(FeedbackIntent::bug),
              QStringLiteral("What went wrong? What did you expect to happen instead?"));
    EXPECT_EQ(FeedbackIntents::noun(FeedbackIntent::bug), QStringLiteral("report"));
    EXPECT_EQ(FeedbackIntents::icon(FeedbackIntent::idea), QStringLiteral("lightbulb.fill"));
    EXPECT_EQ(FeedbackIntents::allCases.front(), FeedbackIntent::idea);
}

TEST_F(Settings, AccountTokenIsTrimmedAndAwaitedAcrossThreads) {
    struct Case {
        std::optional<QString> answer;
        std::optional<QString> expected;
    };
    const Case cases[] = {{QStringLiteral("  tok\n"), QStringLiteral("tok")},
                          {QStringLiteral(" \n "), std::nullopt},
                          {std::nullopt, std::nullopt}};
    EXPECT_EQ(await(Feedback::currentAccountToken()), std::nullopt);
    for (const Case& c : cases) {
        // Answered later from another thread, twice: the first answer counts.
        Feedback::setAccountToken([answer = c.answer](Feedback::Completion<std::optional<QString>> done) {
            std::thread([done, answer] {
                done(answer);
                done(QStringLiteral("second"));
            }).detach();
        });
        EXPECT_EQ(await(Feedback::currentAccountToken()), c.expected);
    }
    // A hook that drops its completion without answering does not hang the caller.
    Feedback::setAccountToken([](Feedback::Completion<std::optional<QString>>) {});
    EXPECT_EQ(await(Feedback::currentAccountToken()), std::nullopt);
}

TEST_F(Settings, ConcurrentReadsDuringWritesStayWhole) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                const QString key = Feedback::appKey();
                ASSERT_TRUE(key.isEmpty() || key.startsWith(QStringLiteral("key-")));
                (void)Feedback::productName();
            }
        });
    for (int i = 0; i < 20000; ++i) {
        Feedback::setAppKey(QStringLiteral("key-%1-%2").arg(i).arg(QString(i % 50, u'x')));
        Feedback::setProductName(QStringLiteral("p%1").arg(i));
    }
    stop = true;
    for (auto& reader : readers)
        reader.join();
}

} // namespace

int main(int argc, char** argv) {
    // A configuration folder that does not exist yet: the preference store creates it.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral(".config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
