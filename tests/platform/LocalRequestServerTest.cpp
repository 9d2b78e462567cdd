#include "LocalRequestServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// ask() blocks, so the client runs on a thread of its own while the server's event loop turns here.
std::optional<QByteArray> askWhileServing(const QString& path, const QByteArray& line,
                                          std::chrono::milliseconds wait = 2s) {
    auto answer = std::async(std::launch::async, [&] { return LocalRequestServer::ask(path, line, wait); });
    while (answer.wait_for(0s) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return answer.get();
}

// A raw socket bound at the path (what a process that died leaves behind) or connected to it.
int rawSocket(const QString& path, bool bindIt) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const auto* raw = reinterpret_cast<sockaddr*>(&address);
    if ((bindIt ? ::bind(fd, raw, sizeof address) : ::connect(fd, raw, sizeof address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

LocalRequestServer::Handler echoUpper() {
    return [](const QByteArray& line) -> std::optional<QByteArray> {
        if (line == "refuse")
            return std::nullopt;
        return line.toUpper();
    };
}

} // namespace

TEST(LocalRequestServer, AnswersOneLineThenReportsIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("channel"));
    LocalRequestServer server(echoUpper());
    QList<QByteArray> answered;
    QObject::connect(&server, &LocalRequestServer::answered,
                     [&](const QByteArray& line) { answered << line; });
    ASSERT_TRUE(server.listen(path));

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "only this user may reach the socket";

    EXPECT_EQ(askWhileServing(path, "hello"), QByteArray("HELLO"));
    EXPECT_EQ(askWhileServing(path, "again"), QByteArray("AGAIN"));
    // Refused and over-long lines are dropped unanswered and set nothing off.
    EXPECT_EQ(askWhileServing(path, "refuse", 500ms), std::nullopt);
    EXPECT_EQ(askWhileServing(path, QByteArray(LocalRequestServer::maxLineBytes + 10, 'x'), 500ms),
              std::nullopt);
    EXPECT_EQ(answered, (QList<QByteArray>{"hello", "again"}));
}

TEST(LocalRequestServer, OneServerPerPathAndLeftoversAreReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("channel"));
    EXPECT_EQ(LocalRequestServer::ask(path, "hello", 200ms), std::nullopt) << "nobody listens";
    EXPECT_FALSE(LocalRequestServer::isAnswered(path));

    auto first = std::make_unique<LocalRequestServer>(echoUpper());
    ASSERT_TRUE(first->listen(path));
    EXPECT_TRUE(LocalRequestServer::isAnswered(path));
    LocalRequestServer second(echoUpper());
    EXPECT_FALSE(second.listen(path)) << "a live server keeps its path";
    EXPECT_EQ(askWhileServing(path, "still"), QByteArray("STILL"));

    // An ended server removes its socket; a process that died leaves one nobody answers on.
    first.reset();
    EXPECT_FALSE(QFile::exists(path));
    const int leftover = rawSocket(path, true);
    ASSERT_GE(leftover, 0);
    ::close(leftover);
    EXPECT_FALSE(LocalRequestServer::isAnswered(path));
    EXPECT_TRUE(second.listen(path)) << "the leftover is taken over";
    EXPECT_EQ(askWhileServing(path, "next"), QByteArray("NEXT"));

    // A server whose socket file was replaced by another's (taken over while it hung) leaves the
    // newer one in place when it closes.
    LocalRequestServer newer([](const QByteArray&) { return std::optional<QByteArray>("newer"); });
    const QString staging = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(newer.listen(staging));
    ASSERT_EQ(::rename(QFile::encodeName(staging).constData(), QFile::encodeName(path).constData()), 0);
    second.close();
    EXPECT_FALSE(second.isListening());
    EXPECT_EQ(askWhileServing(path, "who"), QByteArray("newer"));

    // A path too long for a socket address is refused, not cut short.
    LocalRequestServer third(echoUpper());
    EXPECT_FALSE(third.listen(dir.filePath(QString(200, QLatin1Char('p')))));
}

TEST(LocalRequestServer, AClientThatSaysNothingIsDroppedAndOthersAreStillServed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("channel"));
    LocalRequestServer server(echoUpper());
    ASSERT_TRUE(server.listen(path));

    const int silent = rawSocket(path, false);
    ASSERT_GE(silent, 0);
    EXPECT_EQ(askWhileServing(path, "meanwhile"), QByteArray("MEANWHILE"));

    // The server closes the silent connection once it has idled too long: the client reads end of file.
    QElapsedTimer timer;
    timer.start();
    char byte = 0;
    ssize_t got = -1;
    while (timer.elapsed() < LocalRequestServer::idleLimit.count() + 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        got = ::recv(silent, &byte, 1, MSG_DONTWAIT);
        if (got == 0)
            break;
    }
    EXPECT_EQ(got, 0);
    ::close(silent);
}
