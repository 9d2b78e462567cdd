#pragma once

#include "morvik_platform_network_export.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

struct MORVIK_PLATFORM_NETWORK_EXPORT HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // Longest silence on the connection before the exchange is abandoned.
    std::chrono::milliseconds timeout{std::chrono::seconds(60)};

    // The name of the first header whose name or value holds a control character; absent when every
    // header may go on the wire as it is.
    std::optional<QByteArray> unsafeHeader() const;
};

enum class HttpFailureKind {
    timedOut,   // no data within the request's time-out
    connection, // refused, reset, closed early, host not found, TLS failure
    // Not sent at all: a header value holds a control character (below 0x20, or 0x7f), which could
    // end the header early and smuggle in others. The failure text names the header, never its value.
    unsafeHeader,
    other,
};

struct MORVIK_PLATFORM_NETWORK_EXPORT HttpResult {
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
class MORVIK_PLATFORM_NETWORK_EXPORT HttpSession {
public:
    virtual ~HttpSession();
    virtual QCoro::Task<HttpResult> send(HttpRequest request) = 0;

    // Keys and bearer tokens travel only over https, or over http to this machine's loopback.
    static bool maySendSecrets(const QUrl& url);

protected:
    // The result for a request that must not be sent because of that header.
    static HttpResult unsafeHeaderResult(const QByteArray& name);
};
