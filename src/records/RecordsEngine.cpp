#include "RecordsEngine.h"

#include "Feedback.h"
#include "FeedbackAccount.h"
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

std::optional<QString> RecordsEngine::storeURL() {
    if (!storeURL_)
        storeURL_ = defaultStoreURL();
    return *storeURL_;
}

void RecordsEngine::setStoreURL(std::optional<QString> path) {
    if (dirty_)
        save(); // unsaved changes belong to the file they were made for
    storeURL_ = std::move(path);
}

State& RecordsEngine::load() {
    if (!cached_) {
        // Missing, unreadable or undecodable: start from the initial state and leave the file alone
        // until the next save replaces it.
        const auto path = storeURL();
        const auto stored = path ? RecordsStoreFile::read(*path) : std::nullopt;
        cached_ = stored.value_or(State{});
    }
    return *cached_;
}

void RecordsEngine::save() {
    dirty_ = false;
    if (!cached_)
        return;
    // A failed write is not reported: the in-memory state keeps the change and the next save writes it.
    if (const auto path = storeURL())
        RecordsStoreFile::write(*path, cached_->encode());
}

void RecordsEngine::saveSoon() {
    dirty_ = true;
    if (std::exchange(saveQueued_, true))
        return;
    RecordsQueue::shared().post([] {
        RecordsEngine& engine = onQueue();
        engine.saveQueued_ = false;
        if (engine.dirty_)
            engine.save();
    });
}

void RecordsEngine::reset() {
    if (dirty_)
        save();
    cached_.reset();
    cancelTimer();
    uploading_ = false;
    sessionBundle.reset();
    sessionBundleTried = false;
    ++generation_;
}

// --- Recording -----------------------------------------------------------------------------------------

void RecordsEngine::record(const Failure& failure) {
    State& state = load();
    const Entry added{failure.ts,      failure.event, failure.feature,
                      failure.account, failure.count, failure.code};
    const auto same = std::find_if(state.pending.begin(), state.pending.end(),
                                   [&](const Entry& entry) { return entry.sameFailure(added); });
    if (same != state.pending.end()) {
        // Both counts are at most maxCount, so the sum cannot overflow.
        same->count = std::min(same->count + added.count, maxCount);
    } else {
        state.pending.append(added);
        if (state.pending.size() > maxPending)
            state.pending.remove(0, state.pending.size() - maxPending);
    }
    // The first failure is also the user's first action, with the failing feature.
    if (!state.journey.contains(firstActionStep))
        state.journey.insert(firstActionStep, Stamp{failure.ts, failure.feature});
    saveSoon();
    scheduleLocked(debounce());
}

void RecordsEngine::step(JourneyStep step, const std::optional<QString>& feature, Time now) {
    State& state = load();
    const QString name = rawValue(step);
    if (state.journey.contains(name))
        return; // the first stamp wins; nothing to save or send
    std::optional<QString> cleaned;
    if (feature)
        cleaned = sanitizeID(*feature);
    state.journey.insert(name, Stamp{iso(now), cleaned});
    saveSoon();
    scheduleLocked(debounce());
}

void RecordsEngine::start(Time now) {
    State& state = load();
    if (!state.journey.contains(openedStep)) {
        state.journey.insert(openedStep, Stamp{iso(now), std::nullopt});
        saveSoon();
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
    State& state = load();
    // A token exists at this point, so the user counts as signed in.
    if (!state.journey.contains(signedInStep))
        state.journey.insert(signedInStep, Stamp{iso(now), std::nullopt});
    const QString today = iso(now).left(10);
    if (state.sentDay != today) {
        state.sentDay = today;
        state.sentToday = 0;
    }
    QList<JourneyPair> journey;
    for (auto it = state.journey.cbegin(); it != state.journey.cend(); ++it) // keys come sorted
        if (!state.journeySent.contains(it.key()))
            journey.append({it.key(), it.value()});
    if (state.sentToday >= maxUploadsPerDay || (state.pending.isEmpty() && journey.isEmpty())) {
        save(); // the signed-in stamp and the day roll-over are kept even then
        return std::nullopt;
    }
    if (!state.uploadID)
        state.uploadID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    save(); // the identifier is on disk before the request leaves
    return Batch{state.pending.mid(0, maxBatchEvents), journey, *state.uploadID};
}

bool RecordsEngine::finish(int status, const QList<Entry>& sent, const QStringList& steps) {
    State& state = load(); // includes what was recorded while the batch was on its way
    const HttpVerdict verdict = HttpClassification::records().verdict(status);
    const bool accepted = verdict == HttpVerdict::accepted;
    if (verdict == HttpVerdict::tryLater) {
        Feedback::log(QStringLiteral("records: hub answered %1, kept for later").arg(status));
        if (const auto refused = Feedback::accountTokenRefused(); status == 401 && refused)
            runOnMainThread(refused);
        return false;
    }
    for (const Entry& entry : sent) {
        const auto match = std::find_if(state.pending.begin(), state.pending.end(),
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
    state.sentToday += 1;
    save();
    if (!accepted)
        Feedback::log(QStringLiteral("records: hub refused (%1), batch dropped").arg(status));
    if (!state.pending.isEmpty())
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
            if (engine->generation_ == run)
                engine->uploading_ = false;
        }
    } clear{this, run};

    const QUrl endpoint = hubEndpoint();
    if (!HttpSession::maySendSecrets(endpoint)) {
        Feedback::log(QStringLiteral("records: account service is neither https nor loopback, nothing sent"));
        co_return false;
    }
    const std::optional<QString> token = co_await Feedback::currentAccountToken();
    if (!token || generation_ != run)
        co_return false;

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
            Feedback::log(QStringLiteral("records: not sent: ") + result.failureText);
        else
            Feedback::log(QStringLiteral("records: offline, %1 kept").arg(batch->events.size()));
        co_return false;
    }
    QStringList steps;
    for (const JourneyPair& pair : batch->journey)
        steps.append(pair.first);
    co_return finish(*result.status, batch->events, steps);
}
