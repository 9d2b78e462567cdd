#include "StandInHttpServer.h"

#include <utility>

StandInHttpServer::StandInHttpServer(Handler handler, QObject* parent)
    : QAbstractHttpServer(parent)
    , handler_(std::move(handler)) {}

bool StandInHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    handler_(request, socket, makeResponder(request, socket));
    return true;
}

// Never reached: handleRequest takes every request.
void StandInHttpServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}
