#include "FeedbackReport.h"

#include "DeliveryTimings.h"
#include "Feedback.h"
#include "FeedbackAccount.h"
#include "FeedbackLogging.h"
#include "FeedbackOutbox.h"
#include "FeedbackSession.h"
#include "FeedbackSubmission.h"
#include "HttpClassification.h"
#include "OutboxEntry.h"
#include "PlainEntry.h"
#include "SystemFacts.h"

#include <QCoroFuture>
#include <QFile>
#include <QFuture>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QMutex>
#include <QPromise>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <cmath>

namespace Feedback {
namespace {

constexpr qsizetype maxRefusalCharacters = 300;

QMutex& recorderMutex() {
    static QMutex mutex;
    return mutex;
}

SubmissionRecorder& recorder() {
    static SubmissionRecorder r;
    return r;
}

// What the platform's JSON writer can represent: null, booleans, integers, finite numbers, text, and
// lists and maps of those. Dates, byte arrays, colours and other values are not JSON.
bool isJsonRepresentable(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Nullptr:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::QString:
    case QMetaType::QStringList:
    case QMetaType::QJsonObject:
    case QMetaType::QJsonArray:
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        return std::isfinite(value.toDouble());
    case QMetaType::QJsonValue: {
        const QJsonValue json = value.toJsonValue();
        return !json.isUndefined() && (!json.isDouble() || std::isfinite(json.toDouble()));
    }
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        return std::all_of(list.begin(), list.end(), isJsonRepresentable);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        return std::all_of(map.begin(), map.end(), isJsonRepresentable);
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        return std::all_of(hash.begin(), hash.end(), isJsonRepresentable);
    }
    default:
        return false;
    }
}

void insertIfAbsent(QJsonObject& object, const QString& key, const QJsonValue& value) {
    if (!object.contains(key))
        object.insert(key, value);
}

QString canonicalUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// The first n user-perceived characters (grapheme clusters), so a cut never splits an accented letter,
// an emoji sequence or a surrogate pair.
QString firstGraphemes(const QString& text, qsizetype n) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    qsizetype position = 0;
    while (count < n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        position = next;
        ++count;
    }
    return text.left(position);
}

QString trimmedText(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString().trimmed() : QString();
}

SendOutcome classify(const HttpResult& result) {
    const std::optional<QJsonObject> object = [&]() -> std::optional<QJsonObject> {
        const QJsonDocument document = QJsonDocument::fromJson(result.body);
        return document.isObject() ? std::optional<QJsonObject>(document.object()) : std::nullopt;
    }();
    switch (HttpClassification::report().verdict(result)) {
    case HttpVerdict::accepted: {
        const QJsonValue code = object ? object->value(QStringLiteral("code")) : QJsonValue();
        return code.isString() ? SendOutcome::sent(code.toString()) : SendOutcome::failed();
    }
    case HttpVerdict::refused: {
        if (!result.ok()) {
            // The session would not send the report: a key or token holds a control character. The
            // line names the header, never the value.
            qCInfo(lcFeedbackDelivery).noquote()
                << QStringLiteral("feedback: report not sent: ") + result.failureText;
            return SendOutcome::failed();
        }
        const QJsonValue refusal = object ? object->value(QStringLiteral("refusal")) : QJsonValue();
        if (!refusal.isString() || refusal.toString().isEmpty())
            return SendOutcome::failed();
        QString reply = trimmedText(*object, QStringLiteral("message"));
        if (reply.isEmpty())
            reply = trimmedText(*object, QStringLiteral("error"));
        if (reply.isEmpty())
            return SendOutcome::failed();
        return SendOutcome::refused(firstGraphemes(reply, maxRefusalCharacters));
    }
    case HttpVerdict::tryLater:
    case HttpVerdict::transportFailure:
        break;
    }
    return SendOutcome::failed();
}

std::optional<QString> codeOf(const SendOutcome& outcome) {
    return outcome.code();
}

struct FlushTurn {
    QMutex mutex;
    QFuture<void> last;
};

FlushTurn& flushTurn() {
    static FlushTurn turn;
    return turn;
}

// One pass over the outbox; each stored report is claimed before it is posted, so a report that
// another flush or a send is posting is never posted twice.
QCoro::Task<int> flushOnce() {
    int accepted = 0;
    for (const QString& path : FeedbackOutbox::pending(QDateTime::currentDateTimeUtc())) {
        auto claimed = FeedbackOutbox::claim(path);
        if (const FeedbackOutbox::Refusal* refusal = std::get_if<FeedbackOutbox::Refusal>(&claimed)) {
            if (*refusal == FeedbackOutbox::Refusal::unreadable)
                FeedbackOutbox::remove(path);
            continue;
        }
        OutboxEntry& entry = std::get<OutboxEntry>(claimed);
        // The outbox folder is shared by every application of the user; each sends its own.
        if (entry.appKey() != appKey())
            continue;
        if (entry.hasSnapshot()) {
            const std::optional<ScreenshotUploadError> error =
                co_await FeedbackSubmission::uploadWaitingSnapshot(entry);
            if (error && FeedbackSubmission::waitsForLater(*error))
                continue;
        }
        // Stored reports are re-posted without an account token.
        const SendOutcome outcome = co_await postOutcome(entry.bytes(), std::nullopt);
        if (outcome.isSent()) {
            std::move(entry).remove();
            ++accepted;
        }
    }
    co_return accepted;
}

} // namespace

QUrl reportEndpoint() {
    return endpoint(feedbackServiceURL(), QStringLiteral("/report"));
}

QString distributionChannel() {
    return QStringLiteral("unknown");
}

QJsonObject bundle(const std::optional<QString>& screenshotError) {
    QJsonObject b;
    b.insert(QStringLiteral("app_version"), appVersionText());
    b.insert(QStringLiteral("ts"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (screenshotError)
        b.insert(QStringLiteral("screenshot_upload"), QStringLiteral("failed: ") + *screenshotError);
    b.insert(QStringLiteral("os"), SystemFacts::osDescription());
    b.insert(QStringLiteral("thermal"), SystemFacts::thermalLevel());
    b.insert(QStringLiteral("channel"), distributionChannel());
    if (const DiagnosticsAttachment attachment = diagnosticsAttachment()) {
        if (const std::optional<QString> text = attachment())
            b.insert(QStringLiteral("diagnostics"), *text);
    }
    if (const BundleExtras extras = bundleExtras()) {
        const QVariantMap entries = extras();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            // Built-in keys and earlier extras win; a value the JSON writer cannot represent is dropped.
            if (b.contains(it.key()) || !isJsonRepresentable(it.value()))
                continue;
            b.insert(it.key(), QJsonValue::fromVariant(it.value()));
        }
    }
    if (!b.contains(QStringLiteral("diag_code"))) {
        const std::optional<QString> diagCode = composerDiagCode();
        if (diagCode && !diagCode->isEmpty()) {
            b.insert(QStringLiteral("diag_code"), *diagCode);
            insertIfAbsent(b, QStringLiteral("diag_reason"), QStringLiteral("user-report"));
        }
    }
    return b;
}

QJsonObject reportPayload(FeedbackIntent intent, const QString& message, const QString& contact,
                          const QString& screenshotURL, const std::optional<QString>& screenshotError) {
    QJsonObject report;
    report.insert(QStringLiteral("app_key"), appKey());
    report.insert(QStringLiteral("version"), version());
    report.insert(QStringLiteral("platform"), QStringLiteral("linux"));
    report.insert(QStringLiteral("product"), productName());
    report.insert(QStringLiteral("intent"), FeedbackIntents::rawValue(intent));
    report.insert(QStringLiteral("message"), message);
    report.insert(QStringLiteral("contact"), contact);
    report.insert(QStringLiteral("screenshot_url"), screenshotURL);
    report.insert(QStringLiteral("bundle"), bundle(screenshotError));
    report.insert(QStringLiteral("client_report_id"), canonicalUuid());
    return report;
}

QCoro::Task<SendOutcome> postOutcome(QByteArray body, std::optional<QString> token) {
    HttpRequest request;
    request.method = "POST";
    request.url = reportEndpoint();
    // The ingest key and the bearer token never travel in clear text to another machine.
    if (!request.url.isValid() || !HttpSession::maySendSecrets(request.url))
        co_return SendOutcome::failed();
    request.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/json"));
    request.headers.append(std::pair<QByteArray, QByteArray>("x-fb-key", ingestKey().toUtf8()));
    if (token && !token->isEmpty())
        request.headers.append(std::pair<QByteArray, QByteArray>(
            QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + token->toUtf8()));
    request.body = std::move(body);
    request.timeout = DeliveryTimings::reportTimeout();
    const HttpResult result = co_await session()->send(std::move(request));
    co_return classify(result);
}

void postOutcome(QByteArray body, std::optional<QString> token, std::function<void(SendOutcome)> done) {
    PlainEntry::run(postOutcome(std::move(body), std::move(token)), std::move(done));
}

QCoro::Task<std::optional<QString>> post(QByteArray body, std::optional<QString> token) {
    const SendOutcome outcome = co_await postOutcome(std::move(body), std::move(token));
    co_return outcome.code();
}

void post(QByteArray body, std::optional<QString> token, std::function<void(std::optional<QString>)> done) {
    PlainEntry::run(post(std::move(body), std::move(token)), std::move(done));
}

QCoro::Task<SendOutcome> sendOutcome(FeedbackIntent intent, QString message, QString contact,
                                     QString screenshotURL, std::optional<QString> screenshotError) {
    FeedbackSubmission submission;
    co_return co_await submission.send(intent, std::move(message), std::move(contact),
                                       std::move(screenshotURL), std::move(screenshotError));
}

void sendOutcome(FeedbackIntent intent, QString message, QString contact, QString screenshotURL,
                 std::optional<QString> screenshotError, std::function<void(SendOutcome)> done) {
    PlainEntry::run(sendOutcome(intent, std::move(message), std::move(contact), std::move(screenshotURL),
                                std::move(screenshotError)),
                    std::move(done));
}

QCoro::Task<std::optional<QString>> send(FeedbackIntent intent, QString message, QString contact,
                                         QString screenshotURL, std::optional<QString> screenshotError) {
    const SendOutcome outcome = co_await sendOutcome(intent, std::move(message), std::move(contact),
                                                     std::move(screenshotURL), std::move(screenshotError));
    co_return codeOf(outcome);
}

void send(FeedbackIntent intent, QString message, QString contact, QString screenshotURL,
          std::optional<QString> screenshotError, std::function<void(std::optional<QString>)> done) {
    PlainEntry::run(send(intent, std::move(message), std::move(contact), std::move(screenshotURL),
                         std::move(screenshotError)),
                    std::move(done));
}

QCoro::Task<int> flushOutbox() {
    if (appKey().isEmpty() || ingestKey().isEmpty())
        co_return 0;
    // One flush at a time in this process: each waits for the one before it.
    QPromise<void> turn;
    turn.start();
    QFuture<void> previous;
    {
        QMutexLocker lock(&flushTurn().mutex);
        previous = std::exchange(flushTurn().last, turn.future());
    }
    if (previous.isValid() && !previous.isFinished())
        co_await previous;
    const int accepted = co_await flushOnce();
    turn.finish();
    co_return accepted;
}

void flushOutbox(std::function<void(int)> done) {
    PlainEntry::run(flushOutbox(), std::move(done));
}

void recordSubmission(const QDateTime& acceptedAt) {
    SubmissionRecorder copy;
    {
        QMutexLocker lock(&recorderMutex());
        copy = recorder();
    }
    if (copy)
        copy(acceptedAt);
}

void setSubmissionRecorder(SubmissionRecorder value) {
    SubmissionRecorder previous;
    {
        QMutexLocker lock(&recorderMutex());
        previous = std::exchange(recorder(), std::move(value));
    }
}

} // namespace Feedback
