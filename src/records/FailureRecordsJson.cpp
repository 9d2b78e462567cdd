#include "FailureRecordsJson.h"

namespace FailureRecordsJson {

std::optional<QString> string(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> integer(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    // toInteger answers its default for fractions and out-of-range numbers; two different defaults
    // tell such a value from a real integer.
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        return std::nullopt;
    return first;
}

std::optional<std::optional<QString>> optionalString(const QJsonObject& object, const QString& key) {
    if (!object.contains(key))
        return std::optional<QString>();
    if (const auto text = string(object, key))
        return std::optional<QString>(*text);
    return std::nullopt;
}

} // namespace FailureRecordsJson
