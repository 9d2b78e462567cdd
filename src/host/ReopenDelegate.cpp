#include "ReopenDelegate.h"

#include "ComposerPresenter.h"
#include "FeedbackExternalHost.h"
#include "LocalRequestServer.h"

#include <QDir>

#include <unistd.h>

namespace FeedbackExternalHost {
namespace {

const QByteArray request = QByteArrayLiteral("reopen");
const QByteArray answer = QByteArrayLiteral("ok");

} // namespace

ReopenDelegate::ReopenDelegate(QObject* parent)
    : QObject(parent)
    // Only the one request line means anything; a client that sends something else is dropped.
    , server_(new LocalRequestServer(
          [](const QByteArray& line) { return line == request ? std::optional(answer) : std::nullopt; },
          this)) {
    connect(server_, &LocalRequestServer::answered, this, [this] {
        const auto presenter = composerPresenter();
        applicationShouldHandleReopen(presenter && presenter->isOpen());
        Q_EMIT reopened();
    });
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
    return server_->listen(serverName());
}

bool ReopenDelegate::isListening() const {
    return server_->isListening();
}

void ReopenDelegate::close() {
    server_->close();
}

bool ReopenDelegate::requestReopen(std::chrono::milliseconds wait) {
    return LocalRequestServer::ask(serverName(), request, wait) == answer;
}

bool ReopenDelegate::applicationShouldHandleReopen(bool) {
    const auto presenter = composerPresenter();
    if (presenter && presenter->isOpen())
        presenter->present(FeedbackIntent::idea, std::nullopt);
    else
        compose();
    return false;
}

} // namespace FeedbackExternalHost
