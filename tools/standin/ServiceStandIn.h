#pragma once

#include "morvik_standin_export.h"

#include "InboxStore.h"
#include "RecordedRequest.h"
#include "ScriptedReply.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class QHttpServerRequest;
class QHttpServerResponder;
class QTcpSocket;
class QThread;
class StandInHttpServer;

// A loopback HTTP service that stands in for both the feedback service ("/report", "/screenshot",
// "/screenshot/<id>", "/rewards", "/diagnostics", and the inbox page "/") and the account service
// ("/api/app/struggle"), so one instance serves both base URLs. Tests that want separate bases start
// two instances.
//
// Every request is recorded (before it is answered) and then answered by, in this order:
//   1. the next reply queued with enqueue() for its method and path (each request consumes one),
//   2. the reply set with setReply() for its method and path (kept until clearReplies()),
//   3. the redirect set with setRedirect() when the path lies under its prefix,
//   4. the healthy service (see HealthyService.h): codes, snapshot storage, rewards, the inbox page.
// Every answer waits for its own delay, or for the one set with setAnswerDelay() when that is longer.
//
// Threads. The HTTP server runs either on the thread this object lives on (listen()) or on a thread
// of its own (listenOnOwnThread(), startOnThread()). Use the own thread when test code blocks while a
// request is under way, e.g. a synchronous call into code that waits on another thread; use listen()
// when the test just awaits its client on the main thread. Every public function may be called from
// any thread. requestReceived is emitted on the serving thread: connect it with a receiver context so
// that the slot runs on the receiver's thread.
//
// Storage. Reports, snapshots, record batches and diagnostics bundles go to an InboxStore: the one
// given with setInboxStore(), else a private one in a temporary directory that goes with this object.
class MORVIK_STANDIN_EXPORT ServiceStandIn : public QObject {
    Q_OBJECT

public:
    explicit ServiceStandIn(QObject* parent = nullptr);
    ~ServiceStandIn() override;

    // A new stand-in that already listens on 127.0.0.1 from a thread of its own; null when it cannot
    // listen. The store, when given, must outlive the stand-in.
    static std::unique_ptr<ServiceStandIn> startOnThread(quint16 port = 0, InboxStore* store = nullptr);

    // Listens on 127.0.0.1 (port 0: any free port), serving from this object's thread. Call once;
    // false when the port cannot be had.
    bool listen(quint16 port = 0);
    // The same, serving from a thread of its own that ends with this object.
    bool listenOnOwnThread(quint16 port = 0);
    bool isListening() const;
    quint16 port() const;
    // http://127.0.0.1:PORT, without a trailing slash.
    QUrl baseUrl() const;
    // The base URL with that path, e.g. url("/report").
    QUrl url(const QString& path) const;

    // Uses that store from now on (not owned; it must outlive the stand-in). Set it before listening.
    void setInboxStore(InboxStore* store);
    // The store in use.
    InboxStore& inbox() const;

    // Recorded requests, oldest first; with a path, only those whose path is exactly that.
    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requests(const QString& path) const;
    void clearRequests();
    // Waits until at least `count` requests with that path (any method) were recorded since the last
    // clearRequests(); false on time-out. Runs a local event loop on the caller's thread while it waits,
    // so it works whether the server runs on the caller's thread or on its own, and the caller's own
    // HTTP clients keep working meanwhile.
    bool waitForRequests(const QString& path, int count, std::chrono::milliseconds timeout);

    // Scripted answers. The method is compared without regard to case, the path exactly (no query).
    void enqueue(const QString& method, const QString& path, ScriptedReply reply);
    void setReply(const QString& method, const QString& path, ScriptedReply reply);
    // Forgets every queued and persistent scripted reply.
    void clearReplies();

    // Requests whose path is `prefix` or lies below it ("/moved" takes "/moved/report") are answered
    // with `status` and a Location made of `target` (this stand-in's own base URL when empty), the rest
    // of the path and the query: with "/moved" as a client's base path, every call is redirected to the
    // real endpoint. An empty prefix turns the redirect off.
    void setRedirect(const QString& prefix, int status, const QUrl& target = {});
    // Every answer starts at least this long after its request arrived (zero: at once).
    void setAnswerDelay(std::chrono::milliseconds delay);

    // The rewards object that GET "/rewards" answers by default.
    static QJsonObject defaultRewards();

signals:
    void requestReceived(const RecordedRequest& request);

private:
    // Runs on the serving thread for every complete request.
    void handle(const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder&& responder);
    std::optional<ScriptedReply> scriptedReplyFor(const RecordedRequest& request);
    std::optional<ScriptedReply> redirectFor(const RecordedRequest& request) const;
    bool startServer(quint16 port);
    QUrl baseUrlLocked() const; // with mutex_ held
    void stopServer();

    mutable QMutex mutex_;
    QList<RecordedRequest> requests_;
    QHash<QString, QQueue<ScriptedReply>> queued_;
    QHash<QString, ScriptedReply> persistent_;
    QString redirectPrefix_;
    int redirectStatus_ = 0;
    QUrl redirectTarget_;
    std::chrono::milliseconds answerDelay_{0};
    InboxStore* store_ = nullptr;
    mutable std::unique_ptr<QTemporaryDir> privateDir_; // for the private store
    mutable std::unique_ptr<InboxStore> privateStore_;
    StandInHttpServer* server_ = nullptr; // lives on the serving thread
    QThread* thread_ = nullptr;           // the own thread, when there is one
    quint16 port_ = 0;
};
