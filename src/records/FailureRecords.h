#pragma once

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
std::chrono::milliseconds debounce();
void setDebounce(std::chrono::milliseconds value);
std::chrono::milliseconds startDelay();
void setStartDelay(std::chrono::milliseconds value);
std::chrono::milliseconds diagnosticsDeadline();
void setDiagnosticsDeadline(std::chrono::milliseconds value);
std::chrono::milliseconds requestTimeout();
void setRequestTimeout(std::chrono::milliseconds value);

// "The current time" wherever the records take it by default (the entry points, scheduled uploads).
// A plain function so that reading it costs nothing; nullptr restores the system clock.
using NowFunction = Time (*)();
Time now();
void setClock(NowFunction clock);

// --- Store file ------------------------------------------------------------------------------------
// The XDG data directory, the application identifier, "DovarureVuz", "records.json"; nothing when
// there is no data directory. Processes of one application share the file: every change is merged
// into it under a file lock beside it ("records.json.lock"), and one process at a time uploads from it
// ("records.json.upload.lock").
std::optional<QString> defaultStoreURL();
// Where the store file lives; computed from defaultStoreURL() on first use. Absent: memory only.
std::optional<QString> storeURL();
void setStoreURL(std::optional<QString> path);
// How many times this run wrote the store file.
quint64 storeWriteCount();

// --- Cleaning (pure, any thread) ----------------------------------------------------------------------
// A failure reason as a code: "unspecified" when it holds any white space, otherwise only the
// characters A-Z a-z 0-9 _ . : / - cut to 60, or "none" when nothing is left.
QString sanitize(const QString& text);
// The text when it is an identifier (^[a-z][a-z0-9_]{0,39}$), else "other".
QString sanitizeID(const QString& text);
// "none" without an error, else "{domain}.{code}" cleaned as by sanitize.
QString code(const std::optional<RecordedError>& error);
// YYYY-MM-DDTHH:MM:SSZ in UTC.
QString iso(Time time);

// --- Recording (any thread; returns at once) -------------------------------------------------------
// One failure; `code` is used as given (pass it through sanitize or code first).
void record(const QString& event, const QString& feature, const std::optional<QString>& account, qint64 count,
            const QString& code, Time now = FailureRecords::now());
// A journey milestone; only its first stamp is kept.
void step(JourneyStep step, const std::optional<QString>& feature = std::nullopt,
          Time now = FailureRecords::now());
// The start of a run: stamps "opened" the first time ever and schedules an upload after startDelay().
void start(Time now = FailureRecords::now());

// The current state, loaded on the queue: the store file as it is now (other processes of the
// application may share it) with this process's unsaved changes on top. Blocks; must not be called
// from the records queue.
State snapshot();
// Merges what this process recorded and has not saved yet into the store file now (recordings are
// otherwise saved soon after they were made). True when the file holds them, or when the records live
// in memory only. Blocks; must not be called from the records queue.
bool flush();
// Forgets the in-memory state and this run's upload and bundle flags (the file stays), and cancels a
// scheduled upload. Blocks; must not be called from the records queue.
void resetForTests();

// --- Upload ----------------------------------------------------------------------------------------
// The account service's "/api/app/struggle" and the feedback service's "/diagnostics".
QUrl hubEndpoint();
QUrl diagnosticsEndpoint();

// Sends the next batch: true only when the account service accepted it with a 2xx status. Runs on the
// records queue whatever the awaiting thread; resumes on the awaiting thread.
QCoro::Task<bool> uploadNow(Time now = FailureRecords::now());
// The same for callers that are not coroutines; `done` runs on the records queue.
void uploadNow(Time now, std::function<void(bool)> done);

using JourneyPair = std::pair<QString, Stamp>;
// The upload body (schema "velquist.struggle.v1").
QJsonObject payload(const QList<Entry>& events, const QList<JourneyPair>& journey, const QString& uploadID,
                    const std::optional<QString>& bundleID, const QMap<QString, qint64>& counts);
// A build text as a base-10 integer (optional sign, ASCII digits only, fits 64 bits), else 0.
qint64 buildNumber(const QString& text);

// --- Diagnostics bundle ----------------------------------------------------------------------------
// The code of a bundle about these failures, made by Feedback::diagnosticsUploader (waiting at most
// diagnosticsDeadline()) or posted to diagnosticsEndpoint(); nothing on any problem. Resumes on the
// awaiting thread, which calls the uploader.
QCoro::Task<std::optional<QString>> diagnosticsBundle(QString reason, QList<Entry> events);
// The same for callers that are not coroutines; runs on the records queue, as does `done`.
void diagnosticsBundle(const QString& reason, const QList<Entry>& events,
                       std::function<void(std::optional<QString>)> done);

// This run's bundle code and whether this run asked for one already (kept on the records queue; the
// accessors block and must not be called from it).
std::optional<QString> sessionBundle();
void setSessionBundle(std::optional<QString> code);
bool sessionBundleTried();
void setSessionBundleTried(bool tried);

} // namespace FailureRecords
