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
        manager->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
        managers.setLocalData(manager);
    }
    return *managers.localData();
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

} // namespace

QCoro::Task<HttpResult> NetworkSession::send(HttpRequest request) {
    QNetworkRequest qrequest(request.url);
    for (const auto& [name, value] : request.headers)
        qrequest.setRawHeader(name, value);
    qrequest.setTransferTimeout(static_cast<int>(request.timeout.count()));
    qrequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          QNetworkRequest::SameOriginRedirectPolicy);

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
        result.failureText = reply->errorString();
    }
    reply->deleteLater();
    co_return result;
}
