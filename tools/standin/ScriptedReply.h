#pragma once

#include "morvik_standin_export.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <optional>
#include <utility>

// An answer that a test prescribes instead of the healthy service's own.
struct MORVIK_STANDIN_EXPORT ScriptedReply {
    int status = 200;
    QByteArray body;
    // Sent as given. "Content-Length" is always computed from the body and any given one is dropped;
    // "Content-Type" defaults to "application/json" when the body is not empty and none is given.
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Time between receiving the request and starting the answer. A client that gives up meanwhile
    // simply gets nothing; the stand-in notices the closed connection and drops the answer.
    std::chrono::milliseconds delay{0};
    // Announce the full Content-Length, send only this many body bytes, then close the connection: the
    // client sees a broken answer. Qt does not resend a request whose answer had begun, so this is the
    // way to fail an exchange that must reach the service exactly once.
    std::optional<qsizetype> cutAfterBodyBytes;
    // Close the connection without sending anything. Qt resends a POST once when the connection drops
    // before any answer, so the resend consumes the next scripted reply (or gets the default answer).
    bool closeWithoutAnswer = false;

    // Shorthands for the common cases.
    static ScriptedReply json(int status, const QByteArray& body) {
        return ScriptedReply{status, body, {}, {}, {}, false};
    }
    static ScriptedReply delayed(std::chrono::milliseconds delay, int status, const QByteArray& body) {
        return ScriptedReply{status, body, {}, delay, {}, false};
    }
    static ScriptedReply cut(qsizetype bodyBytes, int status, const QByteArray& body) {
        return ScriptedReply{status, body, {}, {}, bodyBytes, false};
    }
    static ScriptedReply dropConnection() { return ScriptedReply{0, {}, {}, {}, {}, true}; }
    // A redirect (301, 302, 303, 307 or 308) to that address, with a short text body as servers send.
    static ScriptedReply redirect(int status, const QByteArray& location) {
        return ScriptedReply{status, "Moved", {{"Location", location}, {"Content-Type", "text/plain"}},
                             {},     {},      false};
    }
};
