#pragma once

#include "morvik_platform_network_export.h"

#include "HttpSession.h"

#include <optional>

// HttpSession over Qt's network access manager: one manager per thread, created on first use on that
// thread. Redirects are followed here, up to five, and only within the same origin (scheme, host and
// port), so keys and tokens never reach another host: 307 and 308 for every method, with the same
// method and body; 301, 302 and 303 for GET only. Any other redirect is the answer itself.
class MORVIK_PLATFORM_NETWORK_EXPORT NetworkSession final : public HttpSession {
public:
    static constexpr int maxRedirects = 5;

    QCoro::Task<HttpResult> send(HttpRequest request) override;

private:
    static QCoro::Task<HttpResult> exchange(const HttpRequest& request, const QUrl& url);
    // Where to go next after that answer, or nothing when the answer is final.
    static std::optional<QUrl> redirectTarget(const HttpRequest& request, const QUrl& from,
                                              const HttpResult& answer);
};
