#pragma once

#include "morvik_records_export.h"

#include "FailureRecordsDevice.h"
#include "FailureRecordsEntry.h"
#include "FailureRecordsError.h"
#include "FailureRecordsOnce.h"
#include "FailureRecordsStamp.h"
#include "FailureRecordsState.h"
#include "JourneyStep.h"

#include <QCoroTask>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// Failure records: the application's own telemetry of where users struggle. Failures (a feature and a
// cleaned code, coalesced with a count) and journey milestones are kept in one JSON store file and
// sent in small batches to the account service.
//
// Every read and write of the records state and of the store file happens on the records queue
// ("com.velquist.dovarurevuz.records"). The recording operations may be called on any thread: they
// clean their input on the caller's thread and hand the rest to the queue.
namespace FailureRecords {

using Clock = std::chrono::system_clock;
using Time = Clock::time_point;

inline constexpr int maxPending = 50;       // most entries kept pending
inline constexpr int maxBatchEvents = 50;   // most entries in one upload
inline constexpr int maxUploadsPerDay = 12; // settled batches per UTC day
inline constexpr qint64 maxCount = 10000;   // most occurrences one entry counts

// Delays the records work by. Process-wide; tests shorten them.
inline constexpr std::chrono::milliseconds defaultDebounce{45000};            // upload after a recording
inline constexpr std::chrono::milliseconds defaultStartDelay{5000};           // upload after a start
inline constexpr std::chrono::milliseconds defaultDiagnosticsDeadline{20000}; // wait for the uploader
inline constexpr std::chrono::milliseconds defaultRequestTimeout{20000};      // both services' requests
MORVIK_RECORDS_EXPORT std::chrono::milliseconds debounce();
MORVIK_RECORDS_EXPORT void setDebounce(std::chrono::milliseconds value);
MORVIK_RECORDS_EXPORT std::chrono::milliseconds startDelay();
MORVIK_RECORDS_EXPORT void setStartDelay(std::chrono::milliseconds value);
MORVIK_RECORDS_EXPORT std::chrono::milliseconds diagnosticsDeadline();
MORVIK_RECORDS_EXPORT void setDiagnosticsDeadline(std::chrono::milliseconds value);
MORVIK_RECORDS_EXPORT std::chrono::milliseconds requestTimeout();
MORVIK_RECORDS_EXPORT void setRequestTimeout(std::chrono::milliseconds value);

// "The current time" wherever the records take it by default (the entry points, scheduled uploads).
// A plain function so that reading it costs nothing; nullptr restores the system clock.
using NowFunction = Time (*)();
MORVIK_RECORDS_EXPORT Time now();
MORVIK_RECORDS_EXPORT void setClock(NowFunction clock);

// --- Store file ------------------------------------------------------------------------------------
// The XDG data directory, the application identifier, "DovarureVuz", "records.json"; nothing when
// there is no data directory. Processes of one application share the file: every change is merged
// into it under a file lock beside it ("records.json.lock"), and one process at a time uploads from it
// ("records.json.upload.lock").
MORVIK_RECORDS_EXPORT std::optional<QString> defaultStoreURL();
// Where the store file lives; computed from defaultStoreURL() on first use. Absent: memory only.
MORVIK_RECORDS_EXPORT std::optional<QString> storeURL();
MORVIK_RECORDS_EXPORT void setStoreURL(std::optional<QString> path);
// How many times this run wrote the store file.
MORVIK_RECORDS_EXPORT quint64 storeWriteCount();

// --- Cleaning (pure, any thread) ----------------------------------------------------------------------
// A failure reason as a code: "unspecified" when it holds any white space, otherwise only the
// characters A-Z a-z 0-9 _ . : / - cut to 60, or "none" when nothing is left.
MORVIK_RECORDS_EXPORT QString sanitize(const QString& text);
// The text when it is an identifier (^[a-z][a-z0-9_]{0,39}$), else "other".
MORVIK_RECORDS_EXPORT QString sanitizeID(const QString& text);
// "none" without an error, else "{domain}.{code}" cleaned as by sanitize.
MORVIK_RECORDS_EXPORT QString code(const std::optional<RecordedError>& error);
// YYYY-MM-DDTHH:MM:SSZ in UTC.
MORVIK_RECORDS_EXPORT QString iso(Time time);

// --- Recording (any thread; returns at once) -------------------------------------------------------
// One failure; `code` is used as given (pass it through sanitize or code first).
MORVIK_RECORDS_EXPORT void record(const QString& event, const QString& feature,
                                  const std::optional<QString>& account, qint64 count, const QString& code,
                                  Time now = FailureRecords::now());
// A journey milestone; only its first stamp is kept.
MORVIK_RECORDS_EXPORT void step(JourneyStep step, const std::optional<QString>& feature = std::nullopt,
                                Time now = FailureRecords::now());
// The start of a run: stamps "opened" the first time ever and schedules an upload after startDelay().
MORVIK_RECORDS_EXPORT void start(Time now = FailureRecords::now());

// The current state, loaded on the queue: the store file as it is now (other processes of the
// application may share it) with this process's unsaved changes on top. Blocks; must not be called
// from the records queue.
MORVIK_RECORDS_EXPORT State snapshot();
// Merges what this process recorded and has not saved yet into the store file now (recordings are
// otherwise saved soon after they were made). True when the file holds them, or when the records live
// in memory only. Blocks; must not be called from the records queue.
MORVIK_RECORDS_EXPORT bool flush();
// Forgets the in-memory state and this run's upload and bundle flags (the file stays), and cancels a
// scheduled upload. Blocks; must not be called from the records queue.
MORVIK_RECORDS_EXPORT void resetForTests();

// --- Upload ----------------------------------------------------------------------------------------
// The account service's "/api/app/struggle" and the feedback service's "/diagnostics".
MORVIK_RECORDS_EXPORT QUrl hubEndpoint();
MORVIK_RECORDS_EXPORT QUrl diagnosticsEndpoint();

// Sends the next batch: true only when the account service accepted it with a 2xx status. Runs on the
// records queue whatever the awaiting thread; resumes on the awaiting thread.
MORVIK_RECORDS_EXPORT QCoro::Task<bool> uploadNow(Time now = FailureRecords::now());
// The same for callers that are not coroutines; `done` runs on the records queue.
MORVIK_RECORDS_EXPORT void uploadNow(Time now, std::function<void(bool)> done);

using JourneyPair = std::pair<QString, Stamp>;
// The upload body (schema "velquist.struggle.v1").
MORVIK_RECORDS_EXPORT QJsonObject payload(const QList<Entry>& events, const QList<JourneyPair>& journey,
                                          const QString& uploadID, const std::optional<QString>& bundleID,
                                          const QMap<QString, qint64>& counts);
// A build text as a base-10 integer (optional sign, ASCII digits only, fits 64 bits), else 0.
MORVIK_RECORDS_EXPORT qint64 buildNumber(const QString& text);

// --- Diagnostics bundle ----------------------------------------------------------------------------
// The code of a bundle about these failures, made by Feedback::diagnosticsUploader (waiting at most
// diagnosticsDeadline()) or posted to diagnosticsEndpoint(); nothing on any problem. Resumes on the
// awaiting thread, which calls the uploader.
MORVIK_RECORDS_EXPORT QCoro::Task<std::optional<QString>> diagnosticsBundle(QString reason,
                                                                            QList<Entry> events);
// The same for callers that are not coroutines; runs on the records queue, as does `done`.
MORVIK_RECORDS_EXPORT void diagnosticsBundle(const QString& reason, const QList<Entry>& events,
                                             std::function<void(std::optional<QString>)> done);

// This run's bundle code and whether this run asked for one already (kept on the records queue; the
// accessors block and must not be called from it).
MORVIK_RECORDS_EXPORT std::optional<QString> sessionBundle();
MORVIK_RECORDS_EXPORT void setSessionBundle(std::optional<QString> code);
MORVIK_RECORDS_EXPORT bool sessionBundleTried();
MORVIK_RECORDS_EXPORT void setSessionBundleTried(bool tried);

} // namespace FailureRecords
