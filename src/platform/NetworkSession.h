#pragma once

#include "HttpSession.h"

// HttpSession over Qt's network access manager: one manager per thread, created on first use on that
// thread. Redirects are followed only within the same origin, so keys and tokens never reach another
// host.
class NetworkSession final : public HttpSession {
public:
    QCoro::Task<HttpResult> send(HttpRequest request) override;
};
