#include "OwnerMessage.h"

#include "StrictBase64.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace {

std::optional<std::int64_t> integer(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // Doubles at or beyond 2^63 do not fit; 2^63 itself is exactly representable, so compare with <.
    if (!std::isfinite(number) || std::trunc(number) != number || number < -9.223372036854775808e18 ||
        number >= 9.223372036854775808e18)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

std::optional<QString> text(const QJsonObject& object, QLatin1String key, bool allowEmpty) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    QString string = value.toString();
    if (!allowEmpty && string.isEmpty())
        return std::nullopt;
    return string;
}

} // namespace

OwnerConfig OwnerConfig::fromJson(const QJsonObject& config) {
    OwnerConfig result;
    result.appKey = text(config, QLatin1String("appKey"), true);
    result.ingestKey = text(config, QLatin1String("ingestKey"), true);
    result.productName = text(config, QLatin1String("productName"), false);
    result.version = text(config, QLatin1String("version"), false);
    result.build = text(config, QLatin1String("build"), false);
    if (const auto pid = integer(config.value(QLatin1String("ownerPID")));
        pid && *pid >= 2 && *pid <= std::numeric_limits<std::int32_t>::max())
        result.ownerPID = static_cast<std::int32_t>(*pid);
    return result;
}

OwnerMessage OwnerMessage::fromLine(QByteArrayView line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    return fromObject(document.object());
}

OwnerMessage OwnerMessage::fromObject(const QJsonObject& message) {
    OwnerMessage result;
    if (const QJsonValue config = message.value(QLatin1String("config")); config.isObject()) {
        result.kind = Kind::configure;
        result.config = OwnerConfig::fromJson(config.toObject());
        return result;
    }
    const QJsonValue cmd = message.value(QLatin1String("cmd"));
    if (cmd == QLatin1String("compose")) {
        result.kind = Kind::compose;
        return result;
    }
    if (const auto id = integer(message.value(QLatin1String("id")))) {
        result.kind = Kind::snapshotAnswer;
        result.id = *id;
        const QJsonValue snapshot = message.value(QLatin1String("snapshot"));
        if (snapshot.isString()) {
            // Characters outside Latin-1 become "?", which is outside the alphabet and fails the decode.
            // An empty text decodes to no bytes, which is no image either.
            auto decoded = StrictBase64::decode(snapshot.toString().toLatin1());
            if (decoded && !decoded->isEmpty())
                result.snapshot = std::move(decoded);
        }
        return result;
    }
    // The flush command comes last and carries no id, so that it never takes a line that the shapes
    // before it (a snapshot answer in particular) would have acted on.
    if (cmd == QLatin1String("flush") && !message.contains(QLatin1String("id")))
        result.kind = Kind::flush;
    return result;
}
