#include "RecordsEngine.h"

#include "Feedback.h"
#include "FeedbackAccount.h"
#include "FeedbackLogging.h"
#include "FeedbackRecords.h"
#include "FeedbackSession.h"
#include "HttpClassification.h"
#include "RecordsQueue.h"
#include "RecordsStoreFile.h"
#include "ThreadInbox.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <limits>
#include <memory>

using namespace FailureRecords;

namespace {

const QString signedInStep = QStringLiteral("signed_in");
const QString firstActionStep = QStringLiteral("first_action");
const QString openedStep = QStringLiteral("opened");

// Work for the application's main thread. Made on first use under the static's guard, which also
// orders its construction before the main thread's first look at it; the wake-up captures nothing.
ThreadInbox& mainThreadInbox() {
    static ThreadInbox inbox([] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { mainThreadInbox().drain(); }, Qt::QueuedConnection);
    });
    return inbox;
}

} // namespace

RecordsEngine& RecordsEngine::onQueue() {
    Q_ASSERT_X(RecordsQueue::shared().isCurrent(), "RecordsEngine",
               "records state touched off the records queue");
    static RecordsEngine engine;
    return engine;
}

// --- Store ---------------------------------------------------------------------------------------------

namespace {

QString storeLockPath(const QString& store) {
    return store + QStringLiteral(".lock");
}

QString uploadLockPath(const QString& store) {
    return store + QStringLiteral(".upload.lock");
}

// Counts add up to at most maxCount; a sum that would pass it, or overflow, stops there.
qint64 cappedSum(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return maxCount;
    return std::min(sum, maxCount);
}

void applyFailure(State& state, const RecordsEngine::Failure& failure) {
    const Entry added{failure.ts,      failure.event, failure.feature,
                      failure.account, failure.count, failure.code};
    const auto same = std::find_if(state.pending.begin(), state.pending.end(),
                                   [&](const Entry& entry) { return entry.sameFailure(added); });
    if (same != state.pending.end()) {
        same->count = cappedSum(same->count, added.count);
    } else {
        state.pending.append(added);
        if (state.pending.size() > maxPending)
            state.pending.remove(0, state.pending.size() - maxPending);
    }
    // The first failure is also the user's first action, with the failing feature.
    if (!state.journey.contains(firstActionStep))
        state.journey.insert(firstActionStep, Stamp{failure.ts, failure.feature});
}

// The stamps not yet accepted, sorted by step name (the map's keys come sorted).
QList<JourneyPair> unsentJourney(const State& state) {
    QList<JourneyPair> journey;
    for (auto it = state.journey.cbegin(); it != state.journey.cend(); ++it)
        if (!state.journeySent.contains(it.key()))
            journey.append({it.key(), it.value()});
    return journey;
}

} // namespace

std::optional<QString> RecordsEngine::storeURL() {
    if (!storeURL_)
        storeURL_ = defaultStoreURL();
    return *storeURL_;
}

void RecordsEngine::setStoreURL(std::optional<QString> path) {
    save(); // unsaved changes belong to the file they were made for
    clearUnsaved();
    unwritable_ = false;
    storeURL_ = std::move(path);
}

State& RecordsEngine::load() {
    if (!cached_)
        return refresh();
    return *cached_;
}

State& RecordsEngine::refresh() {
    const auto path = storeURL();
    if (!path) {
        if (!cached_)
            cached_ = State{};
        return *cached_;
    }
    // The file could not be written: the in-memory state is the truth until a write succeeds.
    if (unwritable_ && cached_)
        return *cached_;
    // Missing, unreadable or undecodable: start from the initial state and leave the file alone until
    // the next save replaces it. No lock: a write replaces the file whole.
    State state = RecordsStoreFile::read(*path).value_or(State{});
    for (const Change& unsaved : unsaved_)
        unsaved(state);
    cached_ = std::move(state);
    return *cached_;
}

RecordsEngine::Commit RecordsEngine::commit(const Change& change, bool keepWhenBusy) {
    const auto path = storeURL();
    if (!path) {
        if (change)
            change(load());
        return Commit::saved;
    }
    // Without a lock file (an unwritable folder) the change is still made: there is no shared file
    // to lose it in, and the write below most likely fails as well and keeps it in memory.
    const FileLock lock = FileLock::acquire(storeLockPath(*path), lockWait);
    if (lock.status() == FileLock::Status::busy) {
        if (!keepWhenBusy)
            return Commit::busy;
        if (change) {
            change(load());
            openFailures_.reset();
            unsaved_.push_back(change);
        }
        retryLater();
        return Commit::busy;
    }
    // Read again under the lock: whatever another process saved is the base, and this process's
    // changes are made again on top of it. After a failed write the in-memory state, which holds them
    // already, is the base.
    State state;
    if (unwritable_ && cached_) {
        state = *cached_;
    } else {
        state = RecordsStoreFile::read(*path).value_or(State{});
        for (const Change& unsaved : unsaved_)
            unsaved(state);
    }
    if (change)
        change(state);
    // A failed write is not reported: the change stays in memory and the next successful save writes
    // the in-memory state whole (a file nobody can write holds nothing to merge with).
    const bool written = RecordsStoreFile::write(*path, state.encode());
    cached_ = std::move(state);
    unwritable_ = !written;
    clearUnsaved();
    return written ? Commit::saved : Commit::kept;
}

void RecordsEngine::change(Change change) {
    change(load());
    if (!storeURL())
        return; // memory only: the in-memory state is all there is
    openFailures_.reset();
    unsaved_.push_back(std::move(change));
    saveSoon();
}

void RecordsEngine::changeByFailure(const Failure& failure) {
    applyFailure(load(), failure);
    if (!storeURL())
        return;
    // Recordings in a row are kept as one list, coalesced as the store coalesces them, so what waits
    // to be saved stays small however long the store lock is busy.
    if (!openFailures_) {
        openFailures_ = std::make_shared<QList<Failure>>();
        unsaved_.push_back([failures = openFailures_](State& state) {
            for (const Failure& each : std::as_const(*failures))
                applyFailure(state, each);
        });
    }
    QList<Failure>& failures = *openFailures_;
    const auto same = std::find_if(failures.begin(), failures.end(), [&](const Failure& each) {
        return each.event == failure.event && each.feature == failure.feature &&
               each.account == failure.account && each.code == failure.code;
    });
    if (same != failures.end()) {
        same->count = cappedSum(same->count, failure.count);
    } else {
        failures.append(failure);
        if (failures.size() > maxPending)
            failures.remove(0, failures.size() - maxPending);
    }
    saveSoon();
}

void RecordsEngine::clearUnsaved() {
    unsaved_.clear();
    openFailures_.reset();
}

bool RecordsEngine::save() {
    if (unsaved_.empty())
        return true;
    return commit({}, true) == Commit::saved;
}

void RecordsEngine::saveSoon() {
    if (std::exchange(saveQueued_, true))
        return;
    RecordsQueue::shared().post([] {
        RecordsEngine& engine = onQueue();
        engine.saveQueued_ = false;
        engine.save();
    });
}

void RecordsEngine::retryLater() {
    if (std::exchange(retryArmed_, true))
        return;
    QTimer::singleShot(retryAfterBusy, RecordsQueue::shared().context(), [] {
        RecordsEngine& engine = onQueue();
        engine.retryArmed_ = false;
        engine.save();
    });
}

void RecordsEngine::reset() {
    save();
    clearUnsaved();
    unwritable_ = false;
    cached_.reset();
    cancelTimer();
    uploading_ = false;
    uploadLock_.release();
    sessionBundle.reset();
    sessionBundleTried = false;
    ++generation_;
}

// --- Recording -----------------------------------------------------------------------------------------

void RecordsEngine::record(const Failure& failure) {
    changeByFailure(failure);
    scheduleLocked(debounce());
}

void RecordsEngine::step(JourneyStep step, const std::optional<QString>& feature, Time now) {
    const QString name = rawValue(step);
    if (load().journey.contains(name))
        return; // the first stamp wins; nothing to save or send
    std::optional<QString> cleaned;
    if (feature)
        cleaned = sanitizeID(*feature);
    // Made again on top of the file, where another process may have stamped the step first.
    const Stamp stamp{iso(now), cleaned};
    change([name, stamp](State& state) {
        if (!state.journey.contains(name))
            state.journey.insert(name, stamp);
    });
    scheduleLocked(debounce());
}

void RecordsEngine::start(Time now) {
    if (!load().journey.contains(openedStep)) {
        const Stamp stamp{iso(now), std::nullopt};
        change([stamp](State& state) {
            if (!state.journey.contains(openedStep))
                state.journey.insert(openedStep, stamp);
        });
    }
    // Every start leads to an upload attempt, after the shorter start delay.
    scheduleLocked(startDelay());
}

void RecordsEngine::runOnMainThread(std::function<void()> work) {
    if (QCoreApplication::instance())
        mainThreadInbox().post(std::move(work));
}

// --- Upload --------------------------------------------------------------------------------------------

void RecordsEngine::cancelTimer() {
    scheduled_ = false;
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
        timer_ = nullptr;
    }
}

void RecordsEngine::scheduleLocked(std::chrono::milliseconds after) {
    // The earlier timer stands: a burst of recordings leads to one upload, `after` the first of them.
    if (scheduled_)
        return;
    scheduled_ = true;
    timer_ = new QTimer(RecordsQueue::shared().context());
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
        cancelTimer();
        // Runs on its own; its result only matters to direct callers.
        [[maybe_unused]] QCoro::Task<bool> detached = upload(FailureRecords::now());
    });
    timer_->start(after);
}

std::optional<RecordsEngine::Batch> RecordsEngine::prepareBatch(Time now) {
    const QString stamp = iso(now);
    const QString newID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const Change prepare = [stamp, newID](State& state) {
        // A token exists at this point, so the user counts as signed in.
        if (!state.journey.contains(signedInStep))
            state.journey.insert(signedInStep, Stamp{stamp, std::nullopt});
        const QString today = stamp.left(10);
        if (state.sentDay != today) {
            state.sentDay = today;
            state.sentToday = 0;
        }
        const bool sendable = state.sentToday < maxUploadsPerDay &&
                              (!state.pending.isEmpty() || !unsentJourney(state).isEmpty());
        if (sendable && !state.uploadID)
            state.uploadID = newID;
    };
    // Made on what the file holds now, and saved before the request leaves: the signed-in stamp and
    // the day roll-over are kept even when nothing is sent, and the identifier is on disk first. When
    // another process keeps the store locked, nothing is sent this time.
    if (commit(prepare, false) == Commit::busy)
        return std::nullopt;
    const State& state = load();
    const QList<JourneyPair> journey = unsentJourney(state);
    if (state.sentToday >= maxUploadsPerDay || (state.pending.isEmpty() && journey.isEmpty()) ||
        !state.uploadID)
        return std::nullopt;
    return Batch{state.pending.mid(0, maxBatchEvents), journey, *state.uploadID};
}

bool RecordsEngine::finish(int status, const QList<Entry>& sent, const QStringList& steps) {
    const HttpVerdict verdict = HttpClassification::records().verdict(status);
    const bool accepted = verdict == HttpVerdict::accepted;
    if (verdict == HttpVerdict::tryLater) {
        qCInfo(lcFeedbackRecords).noquote()
            << QStringLiteral("records: hub answered %1, kept for later").arg(status);
        if (const auto refused = Feedback::accountTokenRefused(); status == 401 && refused)
            runOnMainThread(refused);
        return false;
    }
    // Settled on the current state, the file's included: what was recorded while the batch was on its
    // way, here or in another process, stays.
    commit(
        [sent, steps](State& state) {
            for (const Entry& entry : sent) {
                const auto match =
                    std::find_if(state.pending.begin(), state.pending.end(),
                                 [&](const Entry& pending) { return pending.sameFailure(entry); });
                if (match == state.pending.end())
                    continue;
                // Occurrences coalesced into the entry while the batch was on its way stay pending.
                if (entry.count >= match->count)
                    state.pending.erase(match);
                else
                    match->count -= entry.count;
            }
            state.journeySent.append(steps);
            state.journeySent.sort();
            state.journeySent.removeDuplicates();
            state.uploadID.reset();
            state.sentToday = std::min(state.sentToday, std::numeric_limits<qint64>::max() - 1) + 1;
        },
        true);
    if (!accepted)
        qCInfo(lcFeedbackRecords).noquote()
            << QStringLiteral("records: hub refused (%1), batch dropped").arg(status);
    if (!load().pending.isEmpty())
        scheduleLocked(debounce());
    return accepted;
}

QCoro::Task<bool> RecordsEngine::upload(Time now) {
    if (!Feedback::recordsEnabled())
        co_return false;
    if (uploading_)
        co_return false; // another upload is running; this trigger is dropped
    uploading_ = true;
    const quint64 run = generation_;
    // Every way out clears the flag, unless a reset started a new run meanwhile.
    struct ClearUploading {
        RecordsEngine* engine;
        quint64 run;
        ~ClearUploading() {
            if (engine->generation_ == run) {
                engine->uploading_ = false;
                engine->uploadLock_.release();
            }
        }
    } clear{this, run};

    const QUrl endpoint = hubEndpoint();
    if (!HttpSession::maySendSecrets(endpoint)) {
        qCInfo(lcFeedbackRecords).noquote()
            << QStringLiteral("records: account service is neither https nor loopback, nothing sent");
        co_return false;
    }
    const std::optional<QString> token = co_await Feedback::currentAccountToken();
    if (!token || generation_ != run)
        co_return false;
    // One process at a time uploads from a store file: another one's upload drops this trigger, as
    // this process's own would. The kernel lets the lock go when that process ends in any way.
    if (const auto path = storeURL()) {
        uploadLock_ = FileLock::acquire(uploadLockPath(*path), std::chrono::milliseconds(0));
        if (uploadLock_.status() == FileLock::Status::busy)
            co_return false;
    }

    const std::optional<Batch> batch = prepareBatch(now);
    if (!batch)
        co_return false;

    if (!batch->events.isEmpty() && !sessionBundleTried) {
        sessionBundleTried = true;
        const std::optional<QString> bundle = co_await diagnosticsBundle(
            QStringLiteral("failure:") + batch->events.first().feature, batch->events);
        if (generation_ != run)
            co_return false;
        sessionBundle = bundle;
    }

    QMap<QString, qint64> counts;
    if (const Feedback::RecordCounts hook = Feedback::recordCounts())
        counts = hook();
    HttpRequest request;
    request.method = "POST";
    request.url = endpoint;
    request.headers = {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + token->toUtf8()}};
    request.body =
        QJsonDocument(payload(batch->events, batch->journey, batch->uploadID, sessionBundle, counts))
            .toJson(QJsonDocument::Compact);
    request.timeout = requestTimeout();

    const std::shared_ptr<HttpSession> session = Feedback::session();
    const HttpResult result = co_await session->send(std::move(request));
    if (generation_ != run)
        co_return false;
    if (!result.ok()) {
        // A token with a control character is never sent; the batch waits for a sound one.
        if (result.failure == HttpFailureKind::unsafeHeader)
            qCInfo(lcFeedbackRecords).noquote() << QStringLiteral("records: not sent: ") + result.failureText;
        else
            qCInfo(lcFeedbackRecords).noquote()
                << QStringLiteral("records: offline, %1 kept").arg(batch->events.size());
        co_return false;
    }
    QStringList steps;
    for (const JourneyPair& pair : batch->journey)
        steps.append(pair.first);
    co_return finish(*result.status, batch->events, steps);
}
