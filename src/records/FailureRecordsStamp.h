#pragma once

#include "morvik_records_export.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace FailureRecords {

// One journey milestone: when it was first reached, and with which feature.
struct MORVIK_RECORDS_EXPORT Stamp {
    QString ts;
    std::optional<QString> feature;

    bool operator==(const Stamp&) const = default;

    QJsonObject toJson() const;
    static std::optional<Stamp> fromJson(const QJsonObject& object);
};

} // namespace FailureRecords
