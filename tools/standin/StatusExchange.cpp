#include "StatusExchange.h"

#include "ServiceStandIn.h"

#include <QTcpServer>

namespace {

// A loopback port that was free a moment ago: bound, read and let go again.
quint16 unusedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

QString StatusExchange::name() const {
    switch (fault_) {
    case Fault::none:
        return QStringLiteral("Status%1").arg(status_);
    case Fault::refusedConnection:
        return QStringLiteral("RefusedConnection");
    case Fault::reset:
        return QStringLiteral("Reset");
    case Fault::stall:
        return QStringLiteral("Stall");
    }
    return {};
}

QUrl StatusExchange::arrange(ServiceStandIn& standIn, const QString& method, const QString& path,
                             const QByteArray& body) const {
    switch (fault_) {
    case Fault::none:
        standIn.setReply(method, path, ScriptedReply::json(status_, body));
        return standIn.baseUrl();
    case Fault::refusedConnection: {
        QUrl url = standIn.baseUrl();
        url.setPort(unusedPort());
        return url;
    }
    case Fault::reset:
        // The connection closes in the middle of the answer. Qt would resend a request whose connection
        // closed before any answer, on some connections and not others; once an answer has begun it
        // never does, so every attempt reaches the stand-in exactly once.
        standIn.setReply(method, path, ScriptedReply::cut(2, 200, body));
        return standIn.baseUrl();
    case Fault::stall:
        standIn.setReply(method, path, ScriptedReply::delayed(stallTime, 200, body));
        return standIn.baseUrl();
    }
    return standIn.baseUrl();
}
