#include "FailureRecords.h"

#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "RecordsEngine.h"
#include "RecordsQueue.h"

#include <QJsonArray>

#include <limits>

namespace FailureRecords {
namespace {

// Runs the upload on the queue and hands its result to `done` there.
QCoro::Task<> uploadAndReport(Time now, std::function<void(bool)> done) {
    const bool accepted = co_await RecordsEngine::onQueue().upload(now);
    if (done)
        done(accepted);
}

bool isCountKey(const QString& key) {
    if (key.isEmpty() || key.size() > 40)
        return false;
    return std::all_of(key.begin(), key.end(), [](QChar c) {
        return (c.unicode() >= u'a' && c.unicode() <= u'z') || c.unicode() == u'_';
    });
}

} // namespace

QUrl hubEndpoint() {
    return Feedback::endpoint(Feedback::accountServiceURL(), QStringLiteral("/api/app/struggle"));
}

QUrl diagnosticsEndpoint() {
    return Feedback::endpoint(Feedback::feedbackServiceURL(), QStringLiteral("/diagnostics"));
}

QCoro::Task<bool> uploadNow(Time now) {
    // The upload runs on the records queue, where its state and network manager live; the result
    // comes back to the awaiting thread.
    co_return co_await Deferred<bool>::run([now](Feedback::Completion<bool> done) { uploadNow(now, done); });
}

void uploadNow(Time now, std::function<void(bool)> done) {
    RecordsQueue::shared().post([now, done = std::move(done)] {
        [[maybe_unused]] QCoro::Task<> detached = uploadAndReport(now, done);
    });
}

qint64 buildNumber(const QString& text) {
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text.at(at) == u'+' || text.at(at) == u'-')) {
        negative = text.at(at) == u'-';
        ++at;
    }
    if (at == text.size())
        return 0;
    // Accumulated as a negative number, whose range is one larger, so the smallest value fits too.
    qint64 value = 0;
    for (; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        if (c < u'0' || c > u'9')
            return 0;
        const int digit = c - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return 0;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == std::numeric_limits<qint64>::min() ? 0 : -value;
}

QJsonObject payload(const QList<Entry>& events, const QList<JourneyPair>& journey, const QString& uploadID,
                    const std::optional<QString>& bundleID, const QMap<QString, qint64>& counts) {
    QJsonArray eventArray;
    for (const Entry& entry : events.mid(0, maxBatchEvents)) {
        eventArray.append(QJsonObject{
            {QStringLiteral("ts"), entry.ts},
            {QStringLiteral("event"), entry.event},
            {QStringLiteral("feature"), entry.feature},
            {QStringLiteral("count"), entry.count},
            {QStringLiteral("code"), entry.code},
            {QStringLiteral("account_kind"),
             entry.account_kind ? QJsonValue(*entry.account_kind) : QJsonValue()},
        });
    }
    QJsonArray journeyArray;
    for (const auto& [name, stamp] : journey) {
        QJsonObject item{{QStringLiteral("step"), name}, {QStringLiteral("ts"), stamp.ts}};
        if (stamp.feature)
            item.insert(QStringLiteral("feature"), *stamp.feature);
        journeyArray.append(item);
    }
    QJsonObject body{
        {QStringLiteral("schema"), QStringLiteral("velquist.struggle.v1")},
        {QStringLiteral("upload_id"), uploadID},
        {QStringLiteral("version"), Feedback::version()},
        {QStringLiteral("build"), buildNumber(Feedback::build())},
        {QStringLiteral("os"), Device::os()},
        {QStringLiteral("hw"), Device::hardware()},
        {QStringLiteral("signed_in"), true},
        {QStringLiteral("tracks_success"), Feedback::tracksSuccess()},
        {QStringLiteral("events"), eventArray},
        {QStringLiteral("journey"), journeyArray},
    };
    if (bundleID)
        body.insert(QStringLiteral("bundle_id"), *bundleID);
    QJsonObject kept;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (isCountKey(it.key()) && it.value() >= 0)
            kept.insert(it.key(), it.value());
    if (!kept.isEmpty())
        body.insert(QStringLiteral("counts"), kept);
    return body;
}

} // namespace FailureRecords
