#include "NetworkSession.h"

#include <QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThreadStorage>

namespace {

QNetworkAccessManager& threadManager() {
    static QThreadStorage<QNetworkAccessManager*> managers;
    if (!managers.hasLocalData()) {
        auto* manager = new QNetworkAccessManager;
        manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        managers.setLocalData(manager);
    }
    return *managers.localData();
}

int defaultPort(const QUrl& url) {
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

HttpFailureKind classify(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::OperationCanceledError: // what a transfer time-out reports
    case QNetworkReply::TimeoutError:
        return HttpFailureKind::timedOut;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return HttpFailureKind::connection;
    default:
        return HttpFailureKind::other;
    }
}

// A fixed description of the failure. These texts end up in log lines that owners paste into bug
// trackers; Qt's own error strings differ between Qt versions and languages, and some name the host or
// the address, whose query may carry a key.
QString describe(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        return QStringLiteral("timed out");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("connection closed by the server");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("host not found");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("TLS handshake failed");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("network unavailable");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return QStringLiteral("proxy failure");
    case QNetworkReply::ProtocolFailure:
        return QStringLiteral("answer cut short");
    default:
        return QStringLiteral("transfer failed (code %1)").arg(static_cast<int>(error));
    }
}

} // namespace

QCoro::Task<HttpResult> NetworkSession::send(HttpRequest request) {
    // Qt writes header values as given, so a line break in a key would end the header and start one of
    // the caller's choosing. Such a request never leaves.
    if (const std::optional<QByteArray> unsafe = request.unsafeHeader())
        co_return unsafeHeaderResult(*unsafe);

    // Each hop of a redirect is an exchange of its own, answered in full before the next one starts.
    // Qt's own redirect handling for a request with a body could resend the original request on the old
    // connection while following the redirect, and end with an error although the new address answered.
    QUrl url = request.url;
    for (int hop = 0;; ++hop) {
        HttpResult result = co_await exchange(request, url);
        const std::optional<QUrl> next = redirectTarget(request, url, result);
        if (!next || hop == maxRedirects)
            co_return result;
        url = *next;
    }
}

QCoro::Task<HttpResult> NetworkSession::exchange(const HttpRequest& request, const QUrl& url) {
    QNetworkRequest qrequest(url);
    for (const auto& [name, value] : request.headers)
        qrequest.setRawHeader(name, value);
    qrequest.setTransferTimeout(static_cast<int>(request.timeout.count()));
    qrequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QNetworkAccessManager& manager = threadManager();
    QNetworkReply* reply = request.body.isNull() && request.method == "GET"
                               ? manager.get(qrequest)
                               : manager.sendCustomRequest(qrequest, request.method, request.body);
    co_await reply;

    HttpResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    // An HTTP error status still is an answer; anything below the protocol level is a failure. A body
    // cut short (the announced length never arrives) is a failure too.
    const bool transportError = error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    if (status.isValid() && !transportError && error != QNetworkReply::ProtocolFailure) {
        result.status = status.toInt();
        for (const auto& pair : reply->rawHeaderPairs())
            result.headers.append(pair);
        result.body = reply->readAll();
    } else {
        result.failure = classify(error);
        result.failureText = describe(error);
    }
    reply->deleteLater();
    co_return result;
}

std::optional<QUrl> NetworkSession::redirectTarget(const HttpRequest& request, const QUrl& from,
                                                   const HttpResult& answer) {
    if (!answer.status)
        return std::nullopt;
    const int status = *answer.status;
    // 307 and 308 keep the method and the body. 301, 302 and 303 turn a request into a GET, which would
    // drop what a POST carries, so those are followed for a GET only.
    const bool keepsRequest = status == 307 || status == 308;
    const bool turnsIntoGet = status == 301 || status == 302 || status == 303;
    if (!keepsRequest && !(turnsIntoGet && request.method == "GET"))
        return std::nullopt;
    const QByteArray header = answer.header("Location");
    const QUrl location = QUrl::fromEncoded(header, QUrl::StrictMode);
    if (header.isEmpty() || !location.isValid())
        return std::nullopt;
    const QUrl target = from.resolved(location);
    // Keys and tokens go only where the caller sent them: the same scheme, host and port.
    if (target.scheme().compare(from.scheme(), Qt::CaseInsensitive) != 0 ||
        target.host().compare(from.host(), Qt::CaseInsensitive) != 0 ||
        target.port(defaultPort(target)) != from.port(defaultPort(from)))
        return std::nullopt;
    return target;
}
