#include "HttpSession.h"

#include <QHostAddress>

#include <algorithm>

HttpSession::~HttpSession() = default;

QByteArray HttpResult::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

namespace {

bool holdsControlCharacter(const QByteArray& bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

} // namespace

std::optional<QByteArray> HttpRequest::unsafeHeader() const {
    for (const auto& [name, value] : headers)
        if (holdsControlCharacter(name) || holdsControlCharacter(value))
            return name;
    return std::nullopt;
}

HttpResult HttpSession::unsafeHeaderResult(const QByteArray& name) {
    HttpResult result;
    result.failure = HttpFailureKind::unsafeHeader;
    // The name only: the value may be a key or a token, which never goes into a message or a log.
    result.failureText = QStringLiteral("the %1 header holds a control character")
                             .arg(QString::fromLatin1(holdsControlCharacter(name) ? QByteArray("?") : name));
    return result;
}

bool HttpSession::maySendSecrets(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}
