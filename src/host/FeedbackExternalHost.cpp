#include "FeedbackExternalHost.h"

#include "ComposerPresenter.h"
#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackLogging.h"
#include "LineSplitter.h"
#include "OfferReporter.h"
#include "OutboxFlusher.h"
#include "OwnerMessage.h"
#include "ProcessFacts.h"
#include "ReopenDelegate.h"
#include "StdinReader.h"
#include "StdoutWriter.h"
#include "TerminationSignals.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <map>
#include <unistd.h>

namespace FeedbackExternalHost {
namespace {

using SnapshotCompletion = Feedback::Completion<std::optional<QByteArray>>;

// Main-thread state.
struct HostState {
    std::optional<std::int32_t> ownerPID;
    LineSplitter splitter;
    std::int64_t nextID = 0;
    std::map<std::int64_t, SnapshotCompletion> waiting;
    std::shared_ptr<ComposerPresenter> presenter;
    std::shared_ptr<OfferReporter> reporter;
    std::shared_ptr<OutboxFlusher> flusher;
    ReopenDelegate* delegate = nullptr;
};

HostState& host() {
    static HostState state;
    return state;
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

void writeReady() {
    send(QJsonObject{{QStringLiteral("event"), QStringLiteral("ready")}});
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

void configure(const OwnerConfig& config) {
    HostState& state = host();
    if (config.appKey)
        Feedback::setAppKey(*config.appKey);
    if (config.ingestKey)
        Feedback::setIngestKey(*config.ingestKey);
    if (config.productName)
        Feedback::setProductName(*config.productName);
    if (config.version)
        Feedback::setVersion(*config.version);
    if (config.build)
        Feedback::setBuild(*config.build);
    if (config.ownerPID)
        state.ownerPID = config.ownerPID;

    // Every component that wants the owner's screen asks the owner, from whatever thread it runs on.
    Feedback::setSnapshotProvider([](SnapshotCompletion completion) {
        runOnMainThread(
            [completion = std::move(completion)]() mutable { requestSnapshot(std::move(completion)); });
    });

    if (state.reporter) {
        state.reporter->setOwnerProcess(state.ownerPID);
        std::weak_ptr<OfferReporter> weak = state.reporter;
        state.reporter->setOwnerResigned([weak] {
            if (auto reporter = weak.lock())
                reporter->dismiss(QStringLiteral("owner went to the background"));
        });
        state.reporter->activate();
    }
    writeReady();
    QTimer::singleShot(0, QCoreApplication::instance(), enableAccessibility);
}

QCoro::Task<> composeTask() {
    std::optional<QByteArray> snapshot = co_await requestSnapshot();
    trace(QStringLiteral("compose with ") + describe(snapshot));
    if (auto presenter = host().presenter)
        presenter->present(FeedbackIntent::idea, std::move(snapshot));
}

QCoro::Task<> flushTask() {
    const std::shared_ptr<OutboxFlusher> flusher = host().flusher;
    const int sent = flusher ? co_await flusher->flush() : 0;
    send(QJsonObject{{QStringLiteral("event"), QStringLiteral("flushed")}, {QStringLiteral("sent"), sent}});
}

void answerSnapshot(std::int64_t id, std::optional<QByteArray> snapshot) {
    auto node = host().waiting.extract(id);
    // Unknown, expired and repeated ids have nothing waiting.
    if (node.empty()) {
        trace(QStringLiteral("answer %1 ignored: nothing waiting").arg(id));
        return;
    }
    trace(QStringLiteral("snapshot %1 completed with %2").arg(id).arg(describe(snapshot)));
    node.mapped()(std::move(snapshot));
}

void expireSnapshot(std::int64_t id) {
    auto node = host().waiting.extract(id);
    if (node.empty())
        return;
    trace(QStringLiteral("snapshot %1 expired").arg(id));
    node.mapped()(std::nullopt);
}

void handle(const OwnerMessage& message) {
    switch (message.kind) {
    case OwnerMessage::Kind::configure:
        configure(message.config);
        break;
    case OwnerMessage::Kind::compose:
        compose();
        break;
    case OwnerMessage::Kind::flush:
        flushTask();
        break;
    case OwnerMessage::Kind::snapshotAnswer:
        answerSnapshot(message.id, message.snapshot);
        break;
    case OwnerMessage::Kind::ignored:
        break;
    }
}

void receive(const QByteArray& chunk) {
    // End of input: the owner closed the pipe or exited. Nothing pending is worth waiting for.
    if (chunk.isEmpty())
        end();
    host().splitter.append(
        chunk, [](QByteArrayView line) { handle(OwnerMessage::fromLine(line)); },
        [] {
            qCInfo(lcFeedbackHost).noquote()
                << QStringLiteral("host: dropped an input line longer than %1 bytes")
                       .arg(LineSplitter::defaultMaxLineBytes);
        });
}

} // namespace

void run() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    Q_ASSERT(app);
    // An accessory: no window of its own until asked, and closing the last window does not end it.
    app->setQuitOnLastWindowClosed(false);
    // One delegate for the life of the process; it listens once the event loop runs, so that start-up
    // stays as quick as a bare application's.
    static ReopenDelegate delegate;
    host().delegate = &delegate;
    QTimer::singleShot(0, app, [] { delegate.listen(); });
    host().ownerPID = ProcessFacts::parentProcessId();
    installLogForwarder();
    // Told to stop (a session ending, the owner's kill, Ctrl-C in a terminal): the same end as the
    // end of input rather than the default action, which would leave the reopen socket behind.
    auto* stop = new TerminationSignals(app);
    QObject::connect(stop, &TerminationSignals::received, app, [] { end(); });
    auto* reader = new StdinReader(0, app);
    QObject::connect(reader, &StdinReader::chunk, app, receive);
    // QCoreApplication's loop rather than QGuiApplication::exec, which would connect the accessibility
    // bridge before the first line is read; enableAccessibility does that later.
    QCoreApplication::exec();
    end();
}

void end() {
    // Every report is in the outbox before it goes on the network, so nothing is lost by not waiting
    // for an exchange in flight; the windows are closed so that their own close handling runs.
    const auto windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows)
        window->close();
    if (HostState& state = host(); state.delegate)
        state.delegate->close();
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
    return host().ownerPID.has_value();
}

std::optional<std::int32_t> ownerPID() {
    return host().ownerPID;
}

void requestSnapshot(std::function<void(std::optional<QByteArray>)> completion) {
    HostState& state = host();
    const std::int64_t id = ++state.nextID;
    state.waiting[id] = std::move(completion);
    send(QJsonObject{{QStringLiteral("want"), QStringLiteral("snapshot")},
                     {QStringLiteral("id"), qint64(id)}});
    QTimer::singleShot(snapshotAnswerTimeout, QCoreApplication::instance(), [id] { expireSnapshot(id); });
}

QCoro::Task<std::optional<QByteArray>> requestSnapshot() {
    co_return co_await Deferred<std::optional<QByteArray>>::run(
        [](SnapshotCompletion completion) { requestSnapshot(std::move(completion)); });
}

void compose() {
    composeTask();
}

void setComposerPresenter(std::shared_ptr<ComposerPresenter> presenter) {
    host().presenter = std::move(presenter);
}
std::shared_ptr<ComposerPresenter> composerPresenter() {
    return host().presenter;
}

void setOutboxFlusher(std::shared_ptr<OutboxFlusher> flusher) {
    host().flusher = std::move(flusher);
}

void setOfferReporter(std::shared_ptr<OfferReporter> reporter) {
    host().reporter = std::move(reporter);
}

void send(const QJsonObject& message) {
    StdoutWriter::writeLine(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

} // namespace FeedbackExternalHost
