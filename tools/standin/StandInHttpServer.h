#pragma once

#include "morvik_standin_export.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>

#include <functional>

// Qt's HTTP server reduced to one catch-all handler, which receives every parsed request with the
// responder for it. The handler may keep the responder and answer later.
class MORVIK_STANDIN_EXPORT StandInHttpServer final : public QAbstractHttpServer {
    Q_OBJECT

public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*, QHttpServerResponder&&)>;

    explicit StandInHttpServer(Handler handler, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler handler_;
};
