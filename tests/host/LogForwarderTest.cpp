// Many threads logging while the host writes its own messages: every line on the output stays one
// whole JSON object.
#include "Feedback.h"
#include "FeedbackExternalHost.h"
#include "StdoutWriter.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

TEST(LogForwarder, LinesFromManyThreadsNeverInterleave) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    StdoutWriter::setDescriptorForTests(fds[1]);
    FeedbackExternalHost::installLogForwarder();

    QByteArray output;
    std::thread reader([&] {
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
            output.append(buffer, got);
    });

    constexpr int threads = 8;
    constexpr int perThread = 400;
    std::vector<std::thread> loggers;
    for (int t = 0; t < threads; ++t)
        loggers.emplace_back([t] {
            // Lines both below and well above the 4096 bytes a pipe writes atomically.
            const QString padding(t % 2 ? 9000 : 40, QChar(u'a' + t));
            for (int i = 0; i < perThread; ++i)
                Feedback::log(QStringLiteral("records: %1 %2 \"quoted\"\n%3").arg(t).arg(i).arg(padding));
        });
    for (int i = 0; i < 500; ++i)
        FeedbackExternalHost::send(
            QJsonObject{{QStringLiteral("want"), QStringLiteral("snapshot")}, {QStringLiteral("id"), i + 1}});
    for (auto& logger : loggers)
        logger.join();
    StdoutWriter::setDescriptorForTests(-1);
    Feedback::setLogHandler({});
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);

    const QList<QByteArray> lines = output.split('\n');
    ASSERT_TRUE(lines.last().isEmpty());
    int logs = 0, requests = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QJsonDocument document = QJsonDocument::fromJson(lines[i]);
        ASSERT_TRUE(document.isObject()) << lines[i].left(120).toStdString();
        logs += document.object().contains(QStringLiteral("log"));
        requests += document.object().contains(QStringLiteral("want"));
    }
    EXPECT_EQ(logs, threads * perThread);
    EXPECT_EQ(requests, 500);
}
