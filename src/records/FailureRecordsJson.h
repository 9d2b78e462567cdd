#pragma once

#include "morvik_records_export.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Strict readers for the store file: each returns nothing when the key is missing or holds another
// JSON type, so one wrong value makes the whole file unreadable.
namespace FailureRecordsJson {

MORVIK_RECORDS_EXPORT std::optional<QString> string(const QJsonObject& object, const QString& key);
MORVIK_RECORDS_EXPORT std::optional<qint64> integer(const QJsonObject& object, const QString& key);

// An optional member: absent is fine (outer value holds nothing), present with the wrong type is not
// (nothing at all).
MORVIK_RECORDS_EXPORT std::optional<std::optional<QString>> optionalString(const QJsonObject& object,
                                                                           const QString& key);

} // namespace FailureRecordsJson
