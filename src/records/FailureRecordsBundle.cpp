#include "FailureRecords.h"

#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackLogging.h"
#include "FeedbackRecords.h"
#include "FeedbackSession.h"
#include "HttpClassification.h"
#include "RecordsQueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <memory>

namespace FailureRecords {
namespace {

// The application's uploader decides, unless the deadline comes first; Once lets exactly one of the
// two answer, however late or often the uploader calls back and on whatever thread.
QCoro::Task<std::optional<QString>> bundleFromUploader(Feedback::DiagnosticsUploader uploader,
                                                       QString reason) {
    using Code = std::optional<QString>;
    co_return co_await Deferred<Code>::run([&uploader, &reason](Feedback::Completion<Code> answer) {
        auto once = std::make_shared<Once>();
        uploader(reason, [once, answer](Code code) {
            if (once->claim())
                answer(std::move(code));
        });
        // The awaiting thread runs an event loop while it waits, so the deadline can live there.
        QTimer::singleShot(diagnosticsDeadline(), Qt::PreciseTimer, [once, answer] {
            if (once->claim())
                answer(std::nullopt);
        });
    });
}

QCoro::Task<std::optional<QString>> bundleFromService(QString reason, QList<Entry> events) {
    // The bundle carries the application's key and the device facts: only over https, or over http to
    // this machine's loopback, as every request that carries a key or a token. Otherwise no bundle.
    if (!HttpSession::maySendSecrets(diagnosticsEndpoint()))
        co_return std::nullopt;
    QMap<QString, qint64> counts;
    if (const Feedback::RecordCounts hook = Feedback::recordCounts())
        counts = hook();
    QJsonObject body = payload(events, {}, QString(), std::nullopt, counts);
    body.insert(QStringLiteral("schema"), QStringLiteral("dovarurevuz.failure-bundle.v1"));
    body.insert(QStringLiteral("app"), Feedback::appKey());
    body.insert(QStringLiteral("reason"), reason);
    body.remove(QStringLiteral("upload_id"));

    HttpRequest request;
    request.method = "POST";
    request.url = diagnosticsEndpoint();
    // "X-Diag-Reason" is always the fixed text; the reason itself travels in the body.
    request.headers = {{"Content-Type", "application/json"},
                       {"X-App", Feedback::appKey().toUtf8()},
                       {"X-App-Version", Feedback::appVersionText().toUtf8()},
                       {"X-Platform", Device::platform().toUtf8()},
                       {"X-Diag-Reason", "failure"}};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeout = requestTimeout();

    const std::shared_ptr<HttpSession> session = Feedback::session();
    const HttpResult result = co_await session->send(std::move(request));
    if (HttpClassification::diagnostics().verdict(result) != HttpVerdict::accepted) {
        if (result.failure == HttpFailureKind::unsafeHeader)
            qCInfo(lcFeedbackRecords).noquote()
                << QStringLiteral("records: diagnostics not sent: ") + result.failureText;
        co_return std::nullopt;
    }
    const QJsonDocument answer = QJsonDocument::fromJson(result.body);
    const QJsonValue code = answer.isObject() ? answer.object().value(QStringLiteral("code")) : QJsonValue();
    if (!code.isString() || code.toString().isEmpty())
        co_return std::nullopt;
    co_return code.toString();
}

QCoro::Task<> bundleAndReport(QString reason, QList<Entry> events,
                              std::function<void(std::optional<QString>)> done) {
    std::optional<QString> code = co_await diagnosticsBundle(reason, events);
    if (done)
        done(std::move(code));
}

} // namespace

QCoro::Task<std::optional<QString>> diagnosticsBundle(QString reason, QList<Entry> events) {
    if (const Feedback::DiagnosticsUploader uploader = Feedback::diagnosticsUploader())
        co_return co_await bundleFromUploader(uploader, reason);
    co_return co_await bundleFromService(reason, events);
}

void diagnosticsBundle(const QString& reason, const QList<Entry>& events,
                       std::function<void(std::optional<QString>)> done) {
    RecordsQueue::shared().post([reason, events, done = std::move(done)] {
        [[maybe_unused]] QCoro::Task<> detached = bundleAndReport(reason, events, done);
    });
}

} // namespace FailureRecords
