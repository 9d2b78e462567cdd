#include "StandInClient.h"

#include "NetworkSession.h"

#include <QCoroTask>

HttpResult StandInClient::send(const QByteArray& method, const QUrl& url, const QByteArray& body,
                               const HttpHeaders& headers, std::chrono::milliseconds timeout) {
    HttpRequest request;
    request.method = method;
    request.url = url;
    request.body = body;
    request.headers = headers;
    request.timeout = timeout;
    NetworkSession session;
    return QCoro::waitFor(session.send(request));
}

QUrl StandInClient::at(const QUrl& base, const QString& pathAndQuery) {
    return QUrl(base.toString() + pathAndQuery);
}
