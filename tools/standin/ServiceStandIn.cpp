#include "ServiceStandIn.h"

#include "HealthyService.h"
#include "StandInHttpServer.h"

#include <QEventLoop>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

QByteArray methodName(QHttpServerRequest::Method method) {
    using Method = QHttpServerRequest::Method;
    switch (method) {
    case Method::Get:
        return "GET";
    case Method::Put:
        return "PUT";
    case Method::Delete:
        return "DELETE";
    case Method::Post:
        return "POST";
    case Method::Head:
        return "HEAD";
    case Method::Options:
        return "OPTIONS";
    case Method::Patch:
        return "PATCH";
    case Method::Connect:
        return "CONNECT";
    case Method::Trace:
        return "TRACE";
    default:
        return "UNKNOWN";
    }
}

QString replyKey(const QString& method, const QString& path) {
    return method.toUpper() + QLatin1Char(' ') + path;
}

// Writes the answer by hand rather than through QHttpServerResponder::write(), so that any status, the
// full Content-Length and a body cut short are possible.
void writeReply(QHttpServerResponder& responder, QTcpSocket& socket, const ScriptedReply& reply) {
    if (reply.closeWithoutAnswer) {
        socket.disconnectFromHost();
        return;
    }
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    bool hasContentType = false;
    for (const auto& [name, value] : reply.headers) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            continue;
        hasContentType = hasContentType || name.compare("Content-Type", Qt::CaseInsensitive) == 0;
        responder.writeHeader(name, value);
    }
    if (!hasContentType && !reply.body.isEmpty())
        responder.writeHeader("Content-Type", "application/json");
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    if (reply.cutAfterBodyBytes) {
        const qsizetype sent = std::clamp<qsizetype>(*reply.cutAfterBodyBytes, 0, reply.body.size());
        responder.writeBody(reply.body.left(sent));
        socket.flush();
        socket.disconnectFromHost();
        return;
    }
    responder.writeBody(reply.body);
}

} // namespace

ServiceStandIn::ServiceStandIn(QObject* parent)
    : QObject(parent) {}

ServiceStandIn::~ServiceStandIn() {
    stopServer();
}

std::unique_ptr<ServiceStandIn> ServiceStandIn::startOnThread(quint16 port, InboxStore* store) {
    auto standIn = std::make_unique<ServiceStandIn>();
    if (store)
        standIn->setInboxStore(store);
    if (!standIn->listenOnOwnThread(port))
        return nullptr;
    return standIn;
}

bool ServiceStandIn::listen(quint16 port) {
    if (server_)
        return false;
    inbox(); // the private store, when needed, is made on this thread before the first request
    server_ = new StandInHttpServer(
        [this](const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder&& responder) {
            handle(request, socket, std::move(responder));
        });
    return startServer(port);
}

bool ServiceStandIn::listenOnOwnThread(quint16 port) {
    if (server_)
        return false;
    inbox();
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("ServiceStandIn"));
    server_ = new StandInHttpServer(
        [this](const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder&& responder) {
            handle(request, socket, std::move(responder));
        });
    server_->moveToThread(thread_);
    // The server is deleted on its own thread as the thread ends.
    StandInHttpServer* server = server_;
    connect(
        thread_, &QThread::finished, server, [server] { delete server; }, Qt::DirectConnection);
    thread_->start();
    return startServer(port);
}

bool ServiceStandIn::startServer(quint16 port) {
    quint16 bound = 0;
    const auto listenNow = [&] { bound = server_->listen(QHostAddress::LocalHost, port); };
    if (thread_)
        QMetaObject::invokeMethod(server_, listenNow, Qt::BlockingQueuedConnection);
    else
        listenNow();
    QMutexLocker lock(&mutex_);
    port_ = bound;
    return bound != 0;
}

void ServiceStandIn::stopServer() {
    if (thread_) {
        thread_->quit();
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    } else {
        delete server_;
    }
    server_ = nullptr;
}

bool ServiceStandIn::isListening() const {
    return port() != 0;
}

quint16 ServiceStandIn::port() const {
    QMutexLocker lock(&mutex_);
    return port_;
}

QUrl ServiceStandIn::baseUrl() const {
    QMutexLocker lock(&mutex_);
    return baseUrlLocked();
}

QUrl ServiceStandIn::baseUrlLocked() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port_);
    return url;
}

QUrl ServiceStandIn::url(const QString& path) const {
    QUrl url = baseUrl();
    url.setPath(path);
    return url;
}

void ServiceStandIn::setInboxStore(InboxStore* store) {
    QMutexLocker lock(&mutex_);
    store_ = store;
}

InboxStore& ServiceStandIn::inbox() const {
    QMutexLocker lock(&mutex_);
    if (store_)
        return *store_;
    if (!privateStore_) {
        privateDir_ = std::make_unique<QTemporaryDir>();
        privateStore_ = std::make_unique<InboxStore>(privateDir_->filePath(QStringLiteral("inbox.sqlite")));
    }
    return *privateStore_;
}

QList<RecordedRequest> ServiceStandIn::requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

QList<RecordedRequest> ServiceStandIn::requests(const QString& path) const {
    QMutexLocker lock(&mutex_);
    QList<RecordedRequest> matching;
    for (const RecordedRequest& request : requests_)
        if (request.path == path)
            matching.append(request);
    return matching;
}

void ServiceStandIn::clearRequests() {
    QMutexLocker lock(&mutex_);
    requests_.clear();
}

bool ServiceStandIn::waitForRequests(const QString& path, int count, std::chrono::milliseconds timeout) {
    const auto enough = [&] {
        QMutexLocker lock(&mutex_);
        return std::count_if(requests_.cbegin(), requests_.cend(),
                             [&](const RecordedRequest& request) { return request.path == path; }) >= count;
    };
    // Connected before the first look, so that a request arriving in between still wakes the loop.
    QEventLoop loop;
    connect(this, &ServiceStandIn::requestReceived, &loop, [&] {
        if (enough())
            loop.quit();
    });
    if (enough())
        return true;
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    loop.exec();
    return enough();
}

void ServiceStandIn::enqueue(const QString& method, const QString& path, ScriptedReply reply) {
    QMutexLocker lock(&mutex_);
    queued_[replyKey(method, path)].enqueue(std::move(reply));
}

void ServiceStandIn::setReply(const QString& method, const QString& path, ScriptedReply reply) {
    QMutexLocker lock(&mutex_);
    persistent_.insert(replyKey(method, path), std::move(reply));
}

void ServiceStandIn::clearReplies() {
    QMutexLocker lock(&mutex_);
    queued_.clear();
    persistent_.clear();
}

void ServiceStandIn::setRedirect(const QString& prefix, int status, const QUrl& target) {
    QMutexLocker lock(&mutex_);
    redirectPrefix_ = prefix;
    redirectStatus_ = status;
    redirectTarget_ = target;
}

void ServiceStandIn::setAnswerDelay(std::chrono::milliseconds delay) {
    QMutexLocker lock(&mutex_);
    answerDelay_ = delay;
}

QJsonObject ServiceStandIn::defaultRewards() {
    return HealthyService::rewards();
}

std::optional<ScriptedReply> ServiceStandIn::scriptedReplyFor(const RecordedRequest& request) {
    const QString key = replyKey(QString::fromLatin1(request.method), request.path);
    auto queue = queued_.find(key);
    if (queue != queued_.end() && !queue->isEmpty())
        return queue->dequeue();
    auto persistent = persistent_.constFind(key);
    if (persistent != persistent_.constEnd())
        return *persistent;
    return std::nullopt;
}

std::optional<ScriptedReply> ServiceStandIn::redirectFor(const RecordedRequest& request) const {
    if (redirectPrefix_.isEmpty())
        return std::nullopt;
    const bool under = request.path == redirectPrefix_ ||
                       (request.path.startsWith(redirectPrefix_) &&
                        (redirectPrefix_.endsWith(u'/') || request.path.at(redirectPrefix_.size()) == u'/'));
    if (!under)
        return std::nullopt;
    QUrl location = redirectTarget_.isEmpty() ? baseUrlLocked() : redirectTarget_;
    location.setPath(location.path() + request.path.mid(redirectPrefix_.size()));
    if (!request.query.isEmpty())
        location.setQuery(request.query);
    return ScriptedReply::redirect(redirectStatus_, location.toEncoded());
}

void ServiceStandIn::handle(const QHttpServerRequest& request, QTcpSocket* socket,
                            QHttpServerResponder&& responder) {
    RecordedRequest recorded;
    recorded.method = methodName(request.method());
    recorded.path = request.url().path();
    recorded.query = request.query();
    for (const auto& [name, value] : request.headers())
        recorded.headers.append({name, value});
    recorded.body = request.body();
    recorded.receivedAt = QDateTime::currentDateTimeUtc();

    std::optional<ScriptedReply> scripted;
    std::chrono::milliseconds answerDelay{0};
    {
        QMutexLocker lock(&mutex_);
        requests_.append(recorded);
        scripted = scriptedReplyFor(recorded);
        if (!scripted)
            scripted = redirectFor(recorded);
        answerDelay = answerDelay_;
    }
    emit requestReceived(recorded);

    ScriptedReply reply = scripted ? std::move(*scripted) : HealthyService::answer(recorded, inbox());
    reply.delay = std::max(reply.delay, answerDelay);
    if (reply.delay <= std::chrono::milliseconds::zero()) {
        writeReply(responder, *socket, reply);
        return;
    }
    // Qt's HTTP server of this version keeps a plain pointer to the socket in the responder and crashes
    // when asked to write after the client went away, so the delayed answer checks the socket first.
    auto pending = std::make_shared<QHttpServerResponder>(std::move(responder));
    QTimer::singleShot(reply.delay, server_, [pending, guard = QPointer<QTcpSocket>(socket), reply] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            writeReply(*pending, *guard, reply);
    });
}
