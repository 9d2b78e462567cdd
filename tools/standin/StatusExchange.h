#pragma once

#include "morvik_standin_export.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <ostream>

class ServiceStandIn;

// One way a service can answer a request, or fail to: a status, a refused connection, a connection
// reset in the middle of the answer, or a stall longer than any client waits. The status matrix of every
// service path is written with these, so that each path meets the same exchanges.
class MORVIK_STANDIN_EXPORT StatusExchange {
public:
    enum class Fault { none, refusedConnection, reset, stall };

    static StatusExchange answer(int status) { return StatusExchange(status, Fault::none); }
    static StatusExchange refusedConnection() { return StatusExchange(0, Fault::refusedConnection); }
    static StatusExchange reset() { return StatusExchange(0, Fault::reset); }
    static StatusExchange stall() { return StatusExchange(0, Fault::stall); }

    // How long a stalled answer is held back; clients under test wait for less.
    static constexpr std::chrono::milliseconds stallTime{std::chrono::seconds(4)};

    int status() const { return status_; }
    Fault fault() const { return fault_; }
    // "Status403", "RefusedConnection", "Reset", "Stall": also the row names of parameterised tests.
    QString name() const;

    // Makes the stand-in meet every `method` `path` request this way until its replies are cleared;
    // an answered status carries `body`. Returns the base URL clients must use: the stand-in's own, or,
    // for a refused connection, a loopback address where nothing listens.
    QUrl arrange(ServiceStandIn& standIn, const QString& method, const QString& path,
                 const QByteArray& body) const;

    friend std::ostream& operator<<(std::ostream& out, const StatusExchange& exchange) {
        return out << exchange.name().toStdString();
    }

private:
    StatusExchange(int status, Fault fault)
        : status_(status)
        , fault_(fault) {}

    int status_;
    Fault fault_;
};
