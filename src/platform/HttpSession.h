#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // Longest silence on the connection before the exchange is abandoned.
    std::chrono::milliseconds timeout{std::chrono::seconds(60)};
};

enum class HttpFailureKind {
    timedOut,   // no data within the request's time-out
    connection, // refused, reset, closed early, host not found, TLS failure
    other,
};

struct HttpResult {
    // Present when an answer (any status) arrived in full.
    std::optional<int> status;
    HttpHeaders headers;
    QByteArray body;
    // Set when no complete answer arrived.
    std::optional<HttpFailureKind> failure;
    QString failureText;

    bool ok() const { return status.has_value(); }
    bool is2xx() const { return status && *status >= 200 && *status < 300; }
    QByteArray header(const QByteArray& name) const;
};

// Sends one HTTP request and resumes, on the calling thread, with the whole answer or the failure.
class HttpSession {
public:
    virtual ~HttpSession();
    virtual QCoro::Task<HttpResult> send(HttpRequest request) = 0;

    // Keys and bearer tokens travel only over https, or over http to this machine's loopback.
    static bool maySendSecrets(const QUrl& url);
};
