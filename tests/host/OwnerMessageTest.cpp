#include "OwnerMessage.h"
#include "LineSplitter.h"
#include "StrictBase64.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Kind = OwnerMessage::Kind;

TEST(OwnerMessage, ClassifiesShapesInTheirOrder) {
    struct Case {
        const char* line;
        Kind kind;
    };
    const Case cases[] = {
        {R"({"config":{},"cmd":"compose","id":1})", Kind::configure},
        {R"({"config":"text","cmd":"compose"})", Kind::compose},
        {R"({"config":null,"cmd":"flush"})", Kind::flush},
        {R"({"cmd":"quit","id":3,"snapshot":"aGk="})", Kind::snapshotAnswer},
        // A flush carries no id: with an integer id the line is a snapshot answer, with any other id
        // it is nothing.
        {R"({"cmd":"flush","id":3,"snapshot":"QQ=="})", Kind::snapshotAnswer},
        {R"({"cmd":"flush","id":"3"})", Kind::ignored},
        {R"({"cmd":"flush","id":null})", Kind::ignored},
        {R"({"cmd":"flush","snapshot":"QQ=="})", Kind::flush},
        {R"({"cmd":"Flush"})", Kind::ignored},
        {R"({"cmd":"COMPOSE"})", Kind::ignored},
        {R"({"cmd":["compose"]})", Kind::ignored},
        {R"({"id":1.5})", Kind::ignored},
        {R"({"id":"1"})", Kind::ignored},
        {R"({"id":1e300})", Kind::ignored},
        {"  {\"id\":2}\r", Kind::snapshotAnswer},
        {"[]", Kind::ignored},
        {"", Kind::ignored},
        {"{", Kind::ignored},
        {"\"compose\"", Kind::ignored},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OwnerMessage::fromLine(QByteArrayView(c.line)).kind, c.kind) << c.line;
}

TEST(OwnerMessage, ReadsConfigKeysByTypeAndRange) {
    const auto config = [](const char* line) { return OwnerMessage::fromLine(QByteArrayView(line)).config; };

    const OwnerConfig full = config(
        R"({"config":{"appKey":"a","ingestKey":"k","productName":"P","version":"1.2","build":"34","ownerPID":4242}})");
    EXPECT_EQ(full.appKey, QStringLiteral("a"));
    EXPECT_EQ(full.ingestKey, QStringLiteral("k"));
    EXPECT_EQ(full.productName, QStringLiteral("P"));
    EXPECT_EQ(full.version, QStringLiteral("1.2"));
    EXPECT_EQ(full.build, QStringLiteral("34"));
    EXPECT_EQ(full.ownerPID, 4242);

    // Empty keys clear; empty identity texts are left alone; wrong types are left alone.
    const OwnerConfig empties =
        config(R"({"config":{"appKey":"","ingestKey":"","productName":"","version":"","build":""}})");
    EXPECT_EQ(empties.appKey, QString());
    EXPECT_EQ(empties.ingestKey, QString());
    EXPECT_FALSE(empties.productName || empties.version || empties.build);
    const OwnerConfig wrong =
        config(R"({"config":{"appKey":1,"ingestKey":null,"productName":["x"],"ownerPID":"77"}})");
    EXPECT_FALSE(wrong.appKey || wrong.ingestKey || wrong.productName || wrong.ownerPID);

    struct PidCase {
        const char* value;
        std::optional<std::int32_t> expected;
    };
    const PidCase pids[] = {{"0", std::nullopt},          {"1", std::nullopt},
                            {"-5", std::nullopt},         {"2", 2},
                            {"2147483647", 2147483647},   {"2147483648", std::nullopt},
                            {"4294967298", std::nullopt}, {"3.5", std::nullopt},
                            {"1e20", std::nullopt}};
    for (const PidCase& c : pids) {
        const QByteArray line = QByteArray(R"({"config":{"ownerPID":)") + c.value + "}}";
        EXPECT_EQ(config(line.constData()).ownerPID, c.expected) << c.value;
    }
}

TEST(StrictBase64, AcceptsOnlyPaddedStandardAlphabet) {
    struct Case {
        const char* text;
        std::optional<QByteArray> decoded;
    };
    const Case cases[] = {
        {"", QByteArray()},
        {"aA==", QByteArray("h")},
        {"aGk=", QByteArray("hi")},
        {"aGVsbG8h", QByteArray("hello!")},
        {"+/+/", QByteArray::fromHex("fbffbf")},
        {"aGk", std::nullopt},
        {"aA=", std::nullopt},
        {"aA===", std::nullopt},
        {"a===", std::nullopt},
        {"aGk=aGk=", std::nullopt},
        {"aG=k", std::nullopt},
        {"-_-_", std::nullopt},
        {"aGVs\nbG8h", std::nullopt},
        {"aGVs bG8h", std::nullopt},
        {"aGVsbG8h\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrictBase64::decode(QByteArrayView(c.text)), c.decoded) << c.text;
    const QByteArray binary = QByteArray::fromHex("00ff10807f0102fe");
    for (qsizetype n = 0; n <= binary.size(); ++n)
        EXPECT_EQ(StrictBase64::decode(binary.left(n).toBase64()), binary.left(n));
}

TEST(LineSplitter, SplitsAcrossChunksAndDropsOverlongLines) {
    LineSplitter splitter(8);
    QList<QByteArray> lines;
    int dropped = 0;
    const auto feed = [&](const char* chunk) {
        splitter.append(
            QByteArrayView(chunk), [&](QByteArrayView line) { lines.append(line.toByteArray()); },
            [&] { ++dropped; });
    };
    feed("ab\ncd");
    feed("e\n\nfg");
    EXPECT_EQ(lines, QList<QByteArray>({"ab", "cde", ""}));
    feed("123456"); // "fg123456" is 8 bytes: still kept
    EXPECT_EQ(splitter.bufferedBytes(), 8);
    feed("7"); // 9 bytes: dropped at once, memory released
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(splitter.bufferedBytes(), 0);
    feed("more of the same line");
    feed("...\nok\n");
    EXPECT_EQ(lines, QList<QByteArray>({"ab", "cde", "", "ok"}));
    feed("0123456789\nx\n"); // complete but over-long within one chunk
    feed("12345");
    feed("6789\ny\n"); // over-long once completed from buffered bytes
    EXPECT_EQ(dropped, 3);
    EXPECT_EQ(lines, QList<QByteArray>({"ab", "cde", "", "ok", "x", "y"}));
}

} // namespace
