#pragma once

#include "morvik_delivery_export.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace Feedback {

// Reward amounts in US dollars and the sentences that announce them, as the feedback service's
// "/rewards" endpoint hands them out. Field names are the JSON keys.
struct MORVIK_DELIVERY_EXPORT Rewards {
    struct Copy {
        QString settings_line;
        QString sheet_line;
        // Both confirm sentences end without a space or full stop: the contact address follows.
        QString confirm_bug;
        QString confirm_idea;

        friend bool operator==(const Copy&, const Copy&) = default;
    };

    qint64 base_usd = 0;
    qint64 max_usd = 0;
    QString source;
    Copy copy;

    friend bool operator==(const Rewards&, const Rewards&) = default;

    // The set used when nothing usable is stored.
    static Rewards builtin();

    // Strict: every key present with its type (integers for the amounts, text for the rest, an object
    // for "copy"); extra keys are ignored. Absent for anything else.
    static std::optional<Rewards> decode(const QByteArray& json);
    // Compact JSON with exactly the keys decode reads.
    QByteArray encode() const;
};

} // namespace Feedback
