#pragma once

#include "HttpSession.h"

#include <QByteArray>
#include <QUrl>

#include <chrono>

// Sends requests to a stand-in through the project's own HTTP session and waits for the result, so
// that the tests see exactly what the product's client sees.
struct StandInClient {
    static constexpr std::chrono::milliseconds defaultTimeout{10000};

    static HttpResult send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                           const HttpHeaders& headers = {},
                           std::chrono::milliseconds timeout = defaultTimeout);
    static HttpResult get(const QUrl& url) { return send("GET", url); }
    // A URL made of a base and a path that may carry a query, e.g. "/rewards?app=k".
    static QUrl at(const QUrl& base, const QString& pathAndQuery);
};
