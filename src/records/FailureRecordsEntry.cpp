#include "FailureRecordsEntry.h"

#include "FailureRecordsJson.h"

namespace FailureRecords {

QJsonObject Entry::toJson() const {
    QJsonObject object{{QStringLiteral("ts"), ts},
                       {QStringLiteral("event"), event},
                       {QStringLiteral("feature"), feature},
                       {QStringLiteral("count"), count},
                       {QStringLiteral("code"), code}};
    if (account_kind)
        object.insert(QStringLiteral("account_kind"), *account_kind);
    return object;
}

std::optional<Entry> Entry::fromJson(const QJsonObject& object) {
    using namespace FailureRecordsJson;
    const auto ts = string(object, QStringLiteral("ts"));
    const auto event = string(object, QStringLiteral("event"));
    const auto feature = string(object, QStringLiteral("feature"));
    const auto account = optionalString(object, QStringLiteral("account_kind"));
    const auto count = integer(object, QStringLiteral("count"));
    const auto code = string(object, QStringLiteral("code"));
    if (!ts || !event || !feature || !account || !count || !code)
        return std::nullopt;
    return Entry{*ts, *event, *feature, *account, *count, *code};
}

} // namespace FailureRecords
