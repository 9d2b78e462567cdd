#pragma once

#include "morvik_records_export.h"

#include "FailureRecords.h"
#include "FleetFeature.h"
#include "JourneyStep.h"
#include "RawValueEnum.h"

#include <QMap>
#include <QString>

#include <functional>
#include <optional>

// The recording entry points and settings that applications call on the Feedback namespace. All of
// them may be called on any thread and return at once; the work happens on the records queue.
namespace Feedback {

// Master switch: when false, recording and uploading do nothing. Default true.
MORVIK_RECORDS_EXPORT bool recordsEnabled();
MORVIK_RECORDS_EXPORT void setRecordsEnabled(bool value);
// Whether the application reports first successes; sent along with uploads. Default false.
MORVIK_RECORDS_EXPORT bool tracksSuccess();
MORVIK_RECORDS_EXPORT void setTracksSuccess(bool value);
// Usage counters, read at upload time on the records queue. Absent by default.
using RecordCounts = std::function<QMap<QString, qint64>()>;
MORVIK_RECORDS_EXPORT RecordCounts recordCounts();
MORVIK_RECORDS_EXPORT void setRecordCounts(RecordCounts hook);

// Records one failure of a feature given by its raw value. The code is the cleaned reason when there
// is one (the error is then ignored), else the error's cleaned "{domain}.{code}", else "none".
MORVIK_RECORDS_EXPORT void recordFailure(const QString& feature, const std::optional<QString>& reason,
                                         const std::optional<FailureRecords::RecordedError>& error,
                                         const QString& event, const std::optional<QString>& account,
                                         qint64 count);

// One failure of `feature` (a FleetFeature or any enumeration with a text raw value). `error` takes a
// std::error_code or any error type the application maps with recordedError().
template <RawValueEnum F>
void failed(F feature, const std::optional<QString>& reason = std::nullopt,
            const std::optional<FailureRecords::RecordedError>& error = std::nullopt,
            const QString& event = QStringLiteral("action_failed"),
            const std::optional<QString>& account = std::nullopt, qint64 count = 1) {
    recordFailure(rawValue(feature), reason, error, event, account, count);
}

// The user's first action, with this feature (a failure recorded first counts as the first action).
template <RawValueEnum F> void tried(F feature) {
    FailureRecords::step(JourneyStep::first_action, rawValue(feature), FailureRecords::now());
}

// The user's first success with this feature.
template <RawValueEnum F> void succeeded(F feature) {
    FailureRecords::step(JourneyStep::first_success, rawValue(feature), FailureRecords::now());
}

// Call on every launch: stamps "opened" the first time ever and leads to an upload attempt soon after.
MORVIK_RECORDS_EXPORT void startRecords();

} // namespace Feedback
