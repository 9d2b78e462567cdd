// Recording on the records queue and the store file: coalescing, caps, journey stamps, the file's
// strict format, its location and its permissions.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsTestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using FailureRecords::Entry;
using FailureRecords::State;
using namespace RecordsTest;

namespace app {

enum class Screen { library, editor, Settings };
QString rawValue(Screen screen) {
    switch (screen) {
    case Screen::library:
        return QStringLiteral("library");
    case Screen::editor:
        return QStringLiteral("editor");
    case Screen::Settings:
        return QStringLiteral("Settings");
    }
    return {};
}

} // namespace app

namespace {

using FailureStoreTest = RecordsFixture;

// One recording as FailureRecords::record takes it; `second` is its time in seconds after the base.
struct Recording {
    QString event;
    QString feature;
    std::optional<QString> account;
    qint64 count;
    QString code;
    int second = 0;
};

struct CoalescingCase {
    const char* name;
    std::vector<Recording> recordings;
    QList<Entry> expected;
};

const QString failedEvent = QStringLiteral("action_failed");
const QString syncFeature = QStringLiteral("sync");
const QString none = QStringLiteral("none");

QString tsAt(int second) {
    return FailureRecords::iso(at("2024-05-01T10:00:00Z") + std::chrono::seconds(second));
}

TEST_F(FailureStoreTest, CleaningAndCoalescingTable) {
    const QString pro = QStringLiteral("pro");
    const std::vector<CoalescingCase> cases = {
        {"same failure coalesces, first time stamp stays",
         {{failedEvent, syncFeature, {}, 1, none, 0}, {failedEvent, syncFeature, {}, 1, none, 5}},
         {{tsAt(0), failedEvent, syncFeature, {}, 2, none}}},
        {"coalesced count stops at 10000",
         {{failedEvent, syncFeature, {}, 9000, none, 0}, {failedEvent, syncFeature, {}, 5000, none, 1}},
         {{tsAt(0), failedEvent, syncFeature, {}, 10000, none}}},
        {"counts below 1 become 1, above 10000 become 10000",
         {{failedEvent, QStringLiteral("a"), {}, 0, none, 0},
          {failedEvent, QStringLiteral("b"), {}, -5, none, 0},
          {failedEvent, QStringLiteral("c"), {}, 20000, none, 0}},
         {{tsAt(0), failedEvent, QStringLiteral("a"), {}, 1, none},
          {tsAt(0), failedEvent, QStringLiteral("b"), {}, 1, none},
          {tsAt(0), failedEvent, QStringLiteral("c"), {}, 10000, none}}},
        {"account kind takes part: different, and present against absent",
         {{failedEvent, syncFeature, pro, 1, none, 0},
          {failedEvent, syncFeature, QStringLiteral("free"), 1, none, 1},
          {failedEvent, syncFeature, {}, 1, none, 2},
          {failedEvent, syncFeature, pro, 1, none, 3}},
         {{tsAt(0), failedEvent, syncFeature, pro, 2, none},
          {tsAt(1), failedEvent, syncFeature, QStringLiteral("free"), 1, none},
          {tsAt(2), failedEvent, syncFeature, {}, 1, none}}},
        {"code and event take part",
         {{failedEvent, syncFeature, {}, 1, QStringLiteral("E1"), 0},
          {failedEvent, syncFeature, {}, 1, QStringLiteral("E2"), 1},
          {QStringLiteral("save_failed"), syncFeature, {}, 1, QStringLiteral("E1"), 2}},
         {{tsAt(0), failedEvent, syncFeature, {}, 1, QStringLiteral("E1")},
          {tsAt(1), failedEvent, syncFeature, {}, 1, QStringLiteral("E2")},
          {tsAt(2), QStringLiteral("save_failed"), syncFeature, {}, 1, QStringLiteral("E1")}}},
        {"identifiers that are not lower-case become other, and then coalesce",
         {{failedEvent, QStringLiteral("Sync"), QStringLiteral("Pro"), 1, none, 0},
          {QString(41, u'e'), QStringLiteral("other"), QStringLiteral("other"), 1, none, 1},
          {QStringLiteral("other"), QStringLiteral("sync now"), QStringLiteral("x y"), 1, none, 2}},
         {{tsAt(0), failedEvent, QStringLiteral("other"), QStringLiteral("other"), 1, none},
          {tsAt(1), QStringLiteral("other"), QStringLiteral("other"), QStringLiteral("other"), 2, none}}},
    };
    for (const CoalescingCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(storePath_);
        FailureRecords::resetForTests();
        for (const Recording& r : c.recordings)
            FailureRecords::record(r.event, r.feature, r.account, r.count, r.code,
                                   at("2024-05-01T10:00:00Z") + std::chrono::seconds(r.second));
        EXPECT_EQ(FailureRecords::snapshot().pending, c.expected);
        // The file holds what the queue holds once the queue has caught up.
        ASSERT_TRUE(waitUntil([&] { return storedState() == FailureRecords::snapshot(); }));
    }
}

TEST_F(FailureStoreTest, FailedCleansReasonAndErrorOnTheWayIn) {
    struct Case {
        std::optional<QString> reason;
        std::optional<FailureRecords::RecordedError> error;
        QString code;
    };
    const std::vector<Case> cases = {
        {std::nullopt, std::nullopt, QStringLiteral("none")},
        {QStringLiteral("E#42!"), std::nullopt, QStringLiteral("E42")},
        {QStringLiteral("disk is full"), std::nullopt, QStringLiteral("unspecified")},
        {QString(), std::nullopt, QStringLiteral("none")},
        {std::nullopt, FailureRecords::RecordedError(QStringLiteral("net"), -1009),
         QStringLiteral("net.-1009")},
        // A reason wins over an error.
        {QStringLiteral("timeout"), FailureRecords::RecordedError(QStringLiteral("net"), -1009),
         QStringLiteral("timeout")},
    };
    for (const Case& c : cases)
        Feedback::failed(FleetFeature::importing, c.reason, c.error);
    Feedback::failed(app::Screen::editor, std::nullopt, std::make_error_code(std::errc::timed_out),
                     QStringLiteral("render_failed"), QStringLiteral("trial"), 4);
    Feedback::failed(app::Screen::Settings);

    const QList<Entry> pending = FailureRecords::snapshot().pending;
    // The two "none" codes coalesce: five import entries, then the editor and the settings one.
    ASSERT_EQ(pending.size(), 7);
    QStringList codes;
    for (qsizetype i = 0; i < 5; ++i) {
        EXPECT_EQ(pending[i].feature, QStringLiteral("import"));
        EXPECT_EQ(pending[i].event, QStringLiteral("action_failed"));
        codes.append(pending[i].code);
    }
    EXPECT_EQ(codes,
              (QStringList{QStringLiteral("none"), QStringLiteral("E42"), QStringLiteral("unspecified"),
                           QStringLiteral("net.-1009"), QStringLiteral("timeout")}));
    EXPECT_EQ(pending[0].count, 2);
    const Entry editor = pending[5];
    EXPECT_EQ(editor.feature, QStringLiteral("editor"));
    EXPECT_EQ(editor.event, QStringLiteral("render_failed"));
    EXPECT_EQ(editor.account_kind, QStringLiteral("trial"));
    EXPECT_EQ(editor.count, 4);
    EXPECT_EQ(editor.code, QStringLiteral("generic.%1").arg(static_cast<int>(std::errc::timed_out)));
    EXPECT_EQ(pending.last().feature, QStringLiteral("other")); // "Settings" is not an identifier
}

TEST_F(FailureStoreTest, PendingKeepsTheNewestFifty) {
    for (int i = 0; i < 51; ++i)
        FailureRecords::record(failedEvent, QStringLiteral("f%1").arg(i), std::nullopt, 1, none,
                               at("2024-05-01T10:00:00Z") + std::chrono::seconds(i));
    const QList<Entry> pending = FailureRecords::snapshot().pending;
    ASSERT_EQ(pending.size(), 50);
    EXPECT_EQ(pending.first().feature, QStringLiteral("f1"));
    EXPECT_EQ(pending.last().feature, QStringLiteral("f50"));
}

TEST_F(FailureStoreTest, FirstFailureIsTheFirstAction) {
    FailureRecords::record(failedEvent, syncFeature, std::nullopt, 1, none, at("2024-05-01T10:00:00Z"));
    Feedback::tried(FleetFeature::save);
    FailureRecords::record(failedEvent, QStringLiteral("save"), std::nullopt, 1, none,
                           at("2024-05-01T11:00:00Z"));
    const State state = FailureRecords::snapshot();
    ASSERT_EQ(state.journey.size(), 1);
    EXPECT_EQ(state.journey.value(QStringLiteral("first_action")),
              (FailureRecords::Stamp{QStringLiteral("2024-05-01T10:00:00Z"), syncFeature}));
}

TEST_F(FailureStoreTest, TriedBeforeAnyFailureKeepsItsOwnStamp) {
    FailureRecords::step(JourneyStep::first_action, QStringLiteral("Open"), at("2024-05-01T09:00:00Z"));
    FailureRecords::record(failedEvent, syncFeature, std::nullopt, 1, none, at("2024-05-01T10:00:00Z"));
    EXPECT_EQ(FailureRecords::snapshot().journey.value(QStringLiteral("first_action")),
              (FailureRecords::Stamp{QStringLiteral("2024-05-01T09:00:00Z"), QStringLiteral("other")}));
}

TEST_F(FailureStoreTest, SecondSuccessChangesNothingAndWritesNothing) {
    Feedback::succeeded(FleetFeature::sync);
    const State first = FailureRecords::snapshot();
    ASSERT_TRUE(waitUntil([&] { return storedState() == first; }));
    const QByteArray bytes = readFile(storePath_);
    const quint64 writes = FailureRecords::storeWriteCount();

    Feedback::succeeded(FleetFeature::save);
    EXPECT_EQ(FailureRecords::snapshot(), first);
    EXPECT_EQ(first.journey.value(QStringLiteral("first_success")).feature, syncFeature);
    FailureRecords::resetForTests(); // also writes anything still unsaved
    EXPECT_EQ(FailureRecords::storeWriteCount(), writes);
    EXPECT_EQ(readFile(storePath_), bytes);
}

TEST_F(FailureStoreTest, StartStampsOpenedOnlyOnTheFirstLaunchEver) {
    FailureRecords::start(at("2024-05-01T08:00:00Z"));
    EXPECT_EQ(FailureRecords::snapshot().journey.value(QStringLiteral("opened")),
              (FailureRecords::Stamp{QStringLiteral("2024-05-01T08:00:00Z"), std::nullopt}));
    // A later launch reads the file again and leaves the stamp alone.
    FailureRecords::resetForTests();
    FailureRecords::start(at("2024-06-01T08:00:00Z"));
    EXPECT_EQ(FailureRecords::snapshot().journey.value(QStringLiteral("opened")).ts,
              QStringLiteral("2024-05-01T08:00:00Z"));
}

TEST_F(FailureStoreTest, DisabledRecordsTouchNothing) {
    Feedback::setRecordsEnabled(false);
    Feedback::failed(FleetFeature::sync, QStringLiteral("E1"));
    Feedback::tried(FleetFeature::sync);
    Feedback::succeeded(FleetFeature::sync);
    Feedback::startRecords();
    FailureRecords::record(failedEvent, syncFeature, std::nullopt, 1, none);
    EXPECT_EQ(FailureRecords::snapshot(), State{});
    FailureRecords::resetForTests();
    EXPECT_FALSE(QFileInfo::exists(storePath_));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(storePath_).path()));
}

TEST_F(FailureStoreTest, ValidFileIsReadWhole) {
    const QByteArray file =
        R"({"pending":[{"ts":"2024-05-01T10:00:00Z","event":"action_failed","feature":"sync",
        "account_kind":"pro","count":7,"code":"E1"},{"ts":"2024-05-01T10:00:01Z","event":"x","feature":"y",
        "count":1,"code":"none"}],"journey":{"opened":{"ts":"2024-04-01T00:00:00Z"},
        "first_action":{"ts":"2024-05-01T10:00:00Z","feature":"sync"}},"journeySent":["opened"],
        "uploadID":"5C1F2A2E-3C55-4F53-9D6B-0E5D2B7C8A11","sentDay":"2024-05-01","sentToday":3,"extra":true})";
    QDir().mkpath(QFileInfo(storePath_).path());
    writeFile(storePath_, file);
    FailureRecords::resetForTests();
    const State state = FailureRecords::snapshot();
    ASSERT_EQ(state.pending.size(), 2);
    EXPECT_EQ(state.pending[0], (Entry{QStringLiteral("2024-05-01T10:00:00Z"), failedEvent, syncFeature,
                                       QStringLiteral("pro"), 7, QStringLiteral("E1")}));
    EXPECT_EQ(state.pending[1].account_kind, std::nullopt);
    EXPECT_EQ(state.journey.value(QStringLiteral("opened")).feature, std::nullopt);
    EXPECT_EQ(state.journeySent, QStringList{QStringLiteral("opened")});
    EXPECT_EQ(state.uploadID, QStringLiteral("5C1F2A2E-3C55-4F53-9D6B-0E5D2B7C8A11"));
    EXPECT_EQ(state.sentDay, QStringLiteral("2024-05-01"));
    EXPECT_EQ(state.sentToday, 3);
    // And the encoder writes exactly what the decoder reads.
    EXPECT_EQ(State::decode(state.encode()), state);
}

TEST_F(FailureStoreTest, DamagedStoreFileStartsOver) {
    const QByteArray good = R"("pending":[{"ts":"t","event":"e","feature":"f","count":1,"code":"c"}])";
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"not JSON", "{\"pending\":["},
        {"not an object", "[]"},
        {"empty file", ""},
        {"missing sentDay", "{" + good + R"(,"journey":{},"journeySent":[],"sentToday":0})"},
        {"missing pending", R"({"journey":{},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"sentToday as text", "{" + good + R"(,"journey":{},"journeySent":[],"sentDay":"","sentToday":"0"})"},
        {"sentToday a fraction",
         "{" + good + R"(,"journey":{},"journeySent":[],"sentDay":"","sentToday":0.5})"},
        {"uploadID a number",
         "{" + good + R"(,"journey":{},"journeySent":[],"uploadID":5,"sentDay":"","sentToday":0})"},
        {"entry count missing",
         R"({"pending":[{"ts":"t","event":"e","feature":"f","code":"c"}],"journey":{},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"entry count a fraction",
         R"({"pending":[{"ts":"t","event":"e","feature":"f","count":1.5,"code":"c"}],"journey":{},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"account_kind null",
         R"({"pending":[{"ts":"t","event":"e","feature":"f","account_kind":null,"count":1,"code":"c"}],"journey":{},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"entry not an object",
         R"({"pending":[1],"journey":{},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"stamp without ts",
         "{" + good + R"(,"journey":{"opened":{}},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"stamp feature a number",
         "{" + good +
             R"(,"journey":{"opened":{"ts":"t","feature":1}},"journeySent":[],"sentDay":"","sentToday":0})"},
        {"journey an array", "{" + good + R"(,"journey":[],"journeySent":[],"sentDay":"","sentToday":0})"},
        {"journeySent holds a number",
         "{" + good + R"(,"journey":{},"journeySent":[1],"sentDay":"","sentToday":0})"},
        {"larger than any store", "{" + good + R"(,"journey":{},"journeySent":[],"sentDay":")" +
                                      QByteArray(2 * 1024 * 1024, 'x') + R"(","sentToday":0})"},
    };
    QDir().mkpath(QFileInfo(storePath_).path());
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        writeFile(storePath_, bytes);
        FailureRecords::resetForTests();
        EXPECT_EQ(FailureRecords::snapshot(), State{});
        FailureRecords::resetForTests();
        EXPECT_EQ(readFile(storePath_), bytes) << "loading leaves the damaged file alone";

        FailureRecords::record(failedEvent, syncFeature, std::nullopt, 1, none, at("2024-05-01T10:00:00Z"));
        const State fresh = FailureRecords::snapshot();
        EXPECT_EQ(fresh.pending.size(), 1);
        ASSERT_TRUE(waitUntil([&] { return storedState() == fresh; })) << "the next save replaces it";
    }
}

TEST_F(FailureStoreTest, StoreFolderAndFileArePrivate) {
    const QString nested = dir_.filePath(QStringLiteral("a/b/DovarureVuz/records.json"));
    FailureRecords::setStoreURL(nested);
    FailureRecords::resetForTests();
    Feedback::failed(FleetFeature::sync);
    FailureRecords::resetForTests(); // waits for the write
    ASSERT_TRUE(QFileInfo::exists(nested));
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto everyone = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(nested).permissions() & (owner | everyone | QFileDevice::ExeOwner), owner);
    for (const char* folder : {"a", "a/b", "a/b/DovarureVuz"}) {
        const QFileInfo info(dir_.filePath(QString::fromLatin1(folder)));
        EXPECT_EQ(info.permissions() & (everyone | QFileDevice::ExeOwner | owner),
                  owner | QFileDevice::ExeOwner)
            << folder;
    }
    // A rewrite keeps the file private even when someone widened it meanwhile.
    QFile::setPermissions(nested, owner | QFileDevice::ReadOther);
    Feedback::failed(FleetFeature::save);
    FailureRecords::resetForTests();
    EXPECT_EQ(QFileInfo(nested).permissions() & everyone, QFileDevice::Permissions());
}

TEST_F(FailureStoreTest, WithoutAStoreLocationRecordsLiveInMemory) {
    FailureRecords::setStoreURL(std::nullopt);
    FailureRecords::resetForTests();
    const quint64 writes = FailureRecords::storeWriteCount();
    Feedback::failed(FleetFeature::sync);
    EXPECT_EQ(FailureRecords::snapshot().pending.size(), 1);
    FailureRecords::resetForTests();
    EXPECT_EQ(FailureRecords::storeWriteCount(), writes);
}

TEST_F(FailureStoreTest, UnwritableStoreKeepsTheChangeInMemory) {
    writeFile(dir_.filePath(QStringLiteral("plain-file")), "not a folder");
    FailureRecords::setStoreURL(dir_.filePath(QStringLiteral("plain-file/records.json")));
    FailureRecords::resetForTests();
    Feedback::failed(FleetFeature::sync);
    Feedback::failed(FleetFeature::sync);
    const State state = FailureRecords::snapshot();
    ASSERT_EQ(state.pending.size(), 1);
    EXPECT_EQ(state.pending.first().count, 2);
}

TEST_F(FailureStoreTest, DefaultStoreLocationFollowsTheApplicationIdentifier) {
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
    const auto expected = [&](const char* name) {
        return dir_.filePath(QString::fromLatin1(name) + QStringLiteral("/DovarureVuz/records.json"));
    };
    // Before a key is set: the application's name, by default its executable's, so that unrelated
    // applications do not share one file.
    Feedback::setAppKey(QString());
    ASSERT_EQ(QCoreApplication::applicationName(), QStringLiteral("records_store_test"));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected("records_store_test"));
    QCoreApplication::setApplicationName(QStringLiteral("Other Editor"));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected("Other Editor"));
    QCoreApplication::setApplicationName(QStringLiteral("../up"));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected(".._up")) << "one folder name, never a path";
    QCoreApplication::setApplicationName(QStringLiteral(".."));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected("app"));
    QCoreApplication::setApplicationName(QString());
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("records_store_test"));
    Feedback::setAppKey(QStringLiteral("k1"));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected("k1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Editor"));
    EXPECT_EQ(FailureRecords::defaultStoreURL(), expected("org.example.Editor"));
    QGuiApplication::setDesktopFileName(QString());
    qputenv("XDG_DATA_HOME", previous);
}

TEST_F(FailureStoreTest, RecordingsFromManyThreadsAllArrive) {
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) {
                Feedback::failed(FleetFeature::sync, QStringLiteral("E%1").arg(i % 5));
                if (i % 100 == 0)
                    Feedback::tried(t % 2 ? FleetFeature::save : FleetFeature::open);
            }
        });
    for (auto& worker : workers)
        worker.join();
    const State state = FailureRecords::snapshot();
    ASSERT_EQ(state.pending.size(), 5);
    qint64 total = 0;
    for (const Entry& entry : state.pending)
        total += entry.count;
    EXPECT_EQ(total, threads * perThread);
    ASSERT_TRUE(waitUntil([&] { return storedState() == state; }));
}

} // namespace
