#pragma once

#include "morvik_records_export.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace FailureRecords {

// One coalesced failure: the same event, feature, account kind and code recorded `count` times,
// stamped with the time of the first occurrence.
struct MORVIK_RECORDS_EXPORT Entry {
    QString ts;
    QString event;
    QString feature;
    std::optional<QString> account_kind;
    qint64 count = 1;
    QString code;

    bool operator==(const Entry&) const = default;

    // Same failure: event, feature, account kind (both absent or equal) and code; the time stamp and
    // the count take no part.
    bool sameFailure(const Entry& other) const {
        return event == other.event && feature == other.feature && account_kind == other.account_kind &&
               code == other.code;
    }

    // The store file's form: "account_kind" is left out when absent.
    QJsonObject toJson() const;
    // Nothing when a required key is missing or any value has the wrong JSON type.
    static std::optional<Entry> fromJson(const QJsonObject& object);
};

} // namespace FailureRecords
