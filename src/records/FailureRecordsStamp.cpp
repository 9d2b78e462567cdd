#include "FailureRecordsStamp.h"

#include "FailureRecordsJson.h"

namespace FailureRecords {

QJsonObject Stamp::toJson() const {
    QJsonObject object{{QStringLiteral("ts"), ts}};
    if (feature)
        object.insert(QStringLiteral("feature"), *feature);
    return object;
}

std::optional<Stamp> Stamp::fromJson(const QJsonObject& object) {
    using namespace FailureRecordsJson;
    const auto ts = string(object, QStringLiteral("ts"));
    const auto feature = optionalString(object, QStringLiteral("feature"));
    if (!ts || !feature)
        return std::nullopt;
    return Stamp{*ts, *feature};
}

} // namespace FailureRecords
