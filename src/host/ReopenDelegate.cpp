#include "ReopenDelegate.h"

#include "ComposerPresenter.h"
#include "FeedbackExternalHost.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <memory>

#include <unistd.h>

namespace FeedbackExternalHost {
namespace {

constexpr QByteArrayView request = "reopen\n";
constexpr QByteArrayView answer = "ok\n";

} // namespace

ReopenDelegate::ReopenDelegate(QObject* parent)
    : QObject(parent)
    , server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &ReopenDelegate::acceptConnections);
}

ReopenDelegate::~ReopenDelegate() = default;

QString ReopenDelegate::serverName() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("morvik-feedback-helper.reopen"));
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("morvik-feedback-helper-%1.reopen").arg(::getuid()));
}

bool ReopenDelegate::listen() {
    if (server_->isListening())
        return true;
    const QString name = serverName();
    // Ask first: listening with access options puts the new socket in place by renaming it over
    // whatever is there, which would silently take the name from a helper that still runs.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    // Nobody answers: no socket, or one left by a helper that ended without removing it.
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

bool ReopenDelegate::isListening() const {
    return server_->isListening();
}

bool ReopenDelegate::requestReopen(std::chrono::milliseconds wait) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(int(wait.count())))
        return false;
    socket.write(request.data(), request.size());
    if (!socket.waitForBytesWritten(int(wait.count())))
        return false;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(int(wait.count())))
            return false;
        reply += socket.readAll();
    }
    return reply.startsWith(answer);
}

bool ReopenDelegate::applicationShouldHandleReopen(bool) {
    const auto presenter = composerPresenter();
    if (presenter && presenter->isOpen())
        presenter->present(FeedbackIntent::idea, std::nullopt);
    else
        compose();
    return false;
}

void ReopenDelegate::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            // Only the one request line means anything; a client that sends more, or something
            // else, is dropped.
            if (received->size() < qsizetype(request.size()) &&
                QByteArrayView(*received) == request.first(received->size()))
                return;
            if (!received->startsWith(request)) {
                socket->abort();
                return;
            }
            received->clear();
            socket->write(answer.data(), answer.size());
            socket->disconnectFromServer();
            const auto presenter = composerPresenter();
            applicationShouldHandleReopen(presenter && presenter->isOpen());
            Q_EMIT reopened();
        });
    }
}

} // namespace FeedbackExternalHost
