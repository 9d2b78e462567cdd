#pragma once

#include "morvik_records_export.h"

#include "FailureRecordsEntry.h"
#include "FailureRecordsStamp.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace FailureRecords {

// Everything the store file keeps.
struct MORVIK_RECORDS_EXPORT State {
    QList<Entry> pending;         // not yet accepted by the account service, oldest first
    QMap<QString, Stamp> journey; // step name -> its first stamp
    QStringList journeySent;      // step names accepted by the account service, sorted, distinct
    std::optional<QString> uploadID;
    QString sentDay; // UTC day (YYYY-MM-DD) that sentToday counts
    qint64 sentToday = 0;

    bool operator==(const State&) const = default;

    QJsonObject toJson() const;
    // Compact JSON, as written to the store file.
    QByteArray encode() const;
    // Nothing when the text is not JSON, the top level is not an object, a required key is missing
    // anywhere, or any value has the wrong JSON type.
    static std::optional<State> fromJson(const QJsonObject& object);
    static std::optional<State> decode(const QByteArray& bytes);

    // The state with every value held to what recording could have stored, for a state read from
    // disk, which any program may have written: counts within 1 to 10000 (as recording takes them),
    // identifiers and codes cleaned as on the way in, entries and stamps whose time stamp is not a
    // time left out, journey names other than the four steps left out, "journeySent" sorted and
    // distinct, an "uploadID" that is not a UUID dropped, a "sentDay" that is not a date emptied,
    // "sentToday" within 0 to the daily limit. A state this system wrote comes back unchanged.
    State checked() const;
};

} // namespace FailureRecords
