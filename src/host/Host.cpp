#include "Host.h"

#include "ComposerPresenter.h"
#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackExternalHost.h"
#include "FeedbackLogging.h"
#include "OfferReporter.h"
#include "OutboxFlusher.h"
#include "OwnerMessage.h"
#include "ProcessFacts.h"
#include "ReopenDelegate.h"
#include "RunningProcesses.h"
#include "StdinReader.h"
#include "StdoutWriter.h"
#include "TerminationSignals.h"

#include <QCoroTask>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace FeedbackExternalHost {
namespace {

using SnapshotCompletion = Feedback::Completion<std::optional<QByteArray>>;

// Read from any thread (log lines are sent from any thread); set on the main thread.
std::atomic<Host*>& newest() {
    static std::atomic<Host*> host = nullptr;
    return host;
}

// Narration of what the host does with snapshot requests and answers, for owners wiring up the
// protocol (and for the helper's own tests); on with QT_LOGGING_RULES="morvik.feedback.host.debug=true".
void trace(const QString& line) {
    qCDebug(lcFeedbackHost).noquote() << QStringLiteral("host: ") + line;
}

QString describe(const std::optional<QByteArray>& snapshot) {
    return snapshot ? QStringLiteral("a %1-byte snapshot").arg(snapshot->size())
                    : QStringLiteral("no snapshot");
}

void runOnMainThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        work();
    else
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

QCoro::Task<> composeTask(std::shared_ptr<ComposerPresenter> presenter) {
    std::optional<QByteArray> snapshot = co_await requestSnapshot();
    trace(QStringLiteral("compose with ") + describe(snapshot));
    if (presenter)
        presenter->present(FeedbackIntent::idea, std::move(snapshot));
}

QCoro::Task<> flushTask(std::shared_ptr<OutboxFlusher> flusher) {
    const int sent = flusher ? co_await flusher->flush() : 0;
    send(QJsonObject{{QStringLiteral("event"), QStringLiteral("flushed")}, {QStringLiteral("sent"), sent}});
}

} // namespace

Host::Host(HostParts parts)
    : parts_(std::move(parts))
    , previous_(newest()) {
    newest() = this;
}

Host::~Host() {
    Host* self = this;
    newest().compare_exchange_strong(self, previous_);
}

Host* Host::current() {
    return newest();
}

void Host::run() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    Q_ASSERT(app);
    // An accessory: no window of its own until asked, and closing the last window does not end it.
    app->setQuitOnLastWindowClosed(false);
    // One delegate for the life of the process; it listens once the event loop runs, so that start-up
    // stays as quick as a bare application's.
    delegate_ = std::make_unique<ReopenDelegate>();
    QTimer::singleShot(0, app, [delegate = delegate_.get()] { delegate->listen(); });
    ownerPID_ = ProcessFacts::parentProcessId();
    nameAfterOwner();
    installLogForwarder();
    // Told to stop (a session ending, the owner's kill, Ctrl-C in a terminal): the same end as the
    // end of input rather than the default action, which would leave the reopen socket behind.
    auto* stop = new TerminationSignals(app);
    QObject::connect(stop, &TerminationSignals::received, app, [] { end(); });
    auto* reader = new StdinReader(0, app);
    QObject::connect(reader, &StdinReader::chunk, app, [this](const QByteArray& chunk) { receive(chunk); });
    // QCoreApplication's loop rather than QGuiApplication::exec, which would connect the accessibility
    // bridge before the first line is read; enableAccessibility does that later.
    QCoreApplication::exec();
    end();
}

void Host::nameAfterOwner() {
    if (productNameConfigured_ || !ownerPID_)
        return;
    if (const std::optional<QString> name = RunningProcesses::executableName(*ownerPID_))
        Feedback::setProductName(*name);
}

void Host::closeReopenSocket() {
    if (delegate_)
        delegate_->close();
}

void Host::receive(const QByteArray& chunk) {
    // End of input: the owner closed the pipe or exited. Nothing pending is worth waiting for.
    if (chunk.isEmpty())
        end();
    splitter_.append(
        chunk, [this](QByteArrayView line) { handle(OwnerMessage::fromLine(line)); },
        [] {
            qCInfo(lcFeedbackHost).noquote()
                << QStringLiteral("host: dropped an input line longer than %1 bytes")
                       .arg(LineSplitter::defaultMaxLineBytes);
        });
}

void Host::handle(const OwnerMessage& message) {
    switch (message.kind) {
    case OwnerMessage::Kind::configure:
        configure(message.config);
        break;
    case OwnerMessage::Kind::compose:
        compose();
        break;
    case OwnerMessage::Kind::flush:
        flushTask(parts_.outbox);
        break;
    case OwnerMessage::Kind::snapshotAnswer:
        answerSnapshot(message.id, message.snapshot);
        break;
    case OwnerMessage::Kind::ignored:
        break;
    }
}

void Host::configure(const OwnerConfig& config) {
    if (config.appKey)
        Feedback::setAppKey(*config.appKey);
    if (config.ingestKey)
        Feedback::setIngestKey(*config.ingestKey);
    if (config.productName) {
        Feedback::setProductName(*config.productName);
        productNameConfigured_ = true;
    }
    if (config.version)
        Feedback::setVersion(*config.version);
    if (config.build)
        Feedback::setBuild(*config.build);
    if (config.ownerPID) {
        ownerPID_ = config.ownerPID;
        nameAfterOwner();
    }

    // Every component that wants the owner's screen asks the owner, from whatever thread it runs on.
    Feedback::setSnapshotProvider([](SnapshotCompletion completion) {
        runOnMainThread([completion = std::move(completion)]() mutable {
            FeedbackExternalHost::requestSnapshot(std::move(completion));
        });
    });

    if (const std::shared_ptr<OfferReporter>& offers = parts_.offers) {
        offers->setOwnerProcess(ownerPID_);
        std::weak_ptr<OfferReporter> weak = offers;
        offers->setOwnerResigned([weak] {
            if (auto reporter = weak.lock())
                reporter->dismiss(QStringLiteral("owner went to the background"));
        });
        offers->activate();
    }
    send(QJsonObject{{QStringLiteral("event"), QStringLiteral("ready")}});
    QTimer::singleShot(0, QCoreApplication::instance(), enableAccessibility);
}

void Host::compose() {
    composeTask(parts_.composer);
}

void Host::requestSnapshot(std::function<void(std::optional<QByteArray>)> completion) {
    const std::int64_t id = ++nextID_;
    waiting_[id] = std::move(completion);
    send(QJsonObject{{QStringLiteral("want"), QStringLiteral("snapshot")},
                     {QStringLiteral("id"), qint64(id)}});
    // The timer goes with this host.
    QTimer::singleShot(snapshotAnswerTimeout, &timers_, [this, id] { expireSnapshot(id); });
}

void Host::answerSnapshot(std::int64_t id, std::optional<QByteArray> snapshot) {
    auto node = waiting_.extract(id);
    // Unknown, expired and repeated ids have nothing waiting.
    if (node.empty()) {
        trace(QStringLiteral("answer %1 ignored: nothing waiting").arg(id));
        return;
    }
    trace(QStringLiteral("snapshot %1 completed with %2").arg(id).arg(describe(snapshot)));
    node.mapped()(std::move(snapshot));
}

void Host::expireSnapshot(std::int64_t id) {
    auto node = waiting_.extract(id);
    if (node.empty())
        return;
    trace(QStringLiteral("snapshot %1 expired").arg(id));
    node.mapped()(std::nullopt);
}

void Host::send(const QJsonObject& message) const {
    const QByteArray line = QJsonDocument(message).toJson(QJsonDocument::Compact);
    if (parts_.writeLine)
        parts_.writeLine(line);
    else
        StdoutWriter::writeLine(line);
}

} // namespace FeedbackExternalHost
