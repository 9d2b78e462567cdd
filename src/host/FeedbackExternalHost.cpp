#include "FeedbackExternalHost.h"

#include "Deferred.h"
#include "Feedback.h"
#include "Host.h"
#include "StdoutWriter.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QWindow>

#include <unistd.h>

namespace FeedbackExternalHost {

void end() {
    // Every report is in the outbox before it goes on the network, so nothing is lost by not waiting
    // for an exchange in flight; the windows are closed so that their own close handling runs.
    const auto windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows)
        window->close();
    if (Host* host = Host::current())
        host->closeReopenSocket();
    // _exit: the libraries loaded on demand and the records thread are left as they are rather than
    // torn down by static destructors in an order nobody chose.
    ::_exit(0);
}

void enableAccessibility() {
    static bool enabled = false;
    if (enabled)
        return;
    enabled = true;
    QAccessible::setRootObject(QCoreApplication::instance());
}

void installLogForwarder() {
    Feedback::setLogHandler([](const QString& line) { send(QJsonObject{{QStringLiteral("log"), line}}); });
}

bool isHosting() {
    return ownerPID().has_value();
}

std::optional<std::int32_t> ownerPID() {
    const Host* host = Host::current();
    return host ? host->ownerPID() : std::nullopt;
}

void requestSnapshot(std::function<void(std::optional<QByteArray>)> completion) {
    if (Host* host = Host::current())
        host->requestSnapshot(std::move(completion));
    else
        completion(std::nullopt);
}

QCoro::Task<std::optional<QByteArray>> requestSnapshot() {
    co_return co_await Deferred<std::optional<QByteArray>>::run(
        [](Feedback::Completion<std::optional<QByteArray>> completion) {
            requestSnapshot(std::move(completion));
        });
}

void compose() {
    if (Host* host = Host::current())
        host->compose();
}

std::shared_ptr<ComposerPresenter> composerPresenter() {
    const Host* host = Host::current();
    return host ? host->parts().composer : nullptr;
}

void send(const QJsonObject& message) {
    if (const Host* host = Host::current())
        host->send(message);
    else
        StdoutWriter::writeLine(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

} // namespace FeedbackExternalHost
