#include "HealthyService.h"

#include "InboxPage.h"
#include "InboxStore.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {

const QString screenshotPrefix = QStringLiteral("/screenshot/");

ScriptedReply jsonAnswer(int status, const QJsonObject& object) {
    ScriptedReply reply;
    reply.status = status;
    reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    reply.headers = {{"Content-Type", "application/json"}};
    return reply;
}

ScriptedReply error(int status, const QString& text) {
    return jsonAnswer(status, QJsonObject{{QStringLiteral("error"), text}});
}

std::optional<QJsonObject> jsonObject(const QByteArray& body) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString digest(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(24));
}

// Documents without an identifier of their own are never taken for resends of each other.
QString keyOr(const QString& key) {
    return key.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : key;
}

ScriptedReply stored(std::optional<QString> code, const QString& name) {
    if (!code)
        return error(500, QStringLiteral("the inbox could not store it"));
    return jsonAnswer(200, QJsonObject{{name, *code}});
}

} // namespace

ScriptedReply HealthyService::answer(const RecordedRequest& request, InboxStore& store) {
    const QString& path = request.path;
    const QByteArray& method = request.method;
    const auto only = [&](const QByteArray& allowed, auto&& handler) {
        return method == allowed ? handler() : error(405, QStringLiteral("method not allowed"));
    };
    if (path == QLatin1String("/report"))
        return only("POST", [&] { return report(request, store); });
    if (path == QLatin1String("/screenshot"))
        return only("POST", [&] { return uploadScreenshot(request, store); });
    if (path.startsWith(screenshotPrefix))
        return only("GET", [&] { return downloadScreenshot(path.mid(screenshotPrefix.size()), store); });
    if (path == QLatin1String("/rewards"))
        return only("GET", [&] { return rewardsAnswer(request); });
    if (path == QLatin1String("/diagnostics"))
        return only("POST", [&] { return diagnostics(request, store); });
    if (path == QLatin1String("/api/app/struggle"))
        return only("POST", [&] { return struggle(request, store); });
    if (path == QLatin1String("/") || path.isEmpty())
        return only("GET", [&] {
            ScriptedReply page;
            page.body = InboxPage::render(store);
            page.headers = {{"Content-Type", "text/html; charset=utf-8"}};
            return page;
        });
    return error(404, QStringLiteral("not found"));
}

QJsonObject HealthyService::rewards() {
    return QJsonObject{
        {QStringLiteral("base_usd"), 15},
        {QStringLiteral("max_usd"), 75},
        {QStringLiteral("source"), QStringLiteral("standin")},
        {QStringLiteral("copy"),
         QJsonObject{
             {QStringLiteral("settings_line"),
              QStringLiteral("Confirmed bugs and ideas we build earn $15 in Velquist Cash.")},
             {QStringLiteral("sheet_line"),
              QStringLiteral("Share an idea we build, or catch a bug we confirm, and $15 in Velquist Cash "
                             "lands in your account. A detailed walkthrough earns up to $75.")},
             {QStringLiteral("confirm_bug"),
              QStringLiteral("If this bug is confirmed, $15 or more in Velquist Cash lands at")},
             {QStringLiteral("confirm_idea"),
              QStringLiteral("If we build it, $15 or more in Velquist Cash lands at")},
         }},
    };
}

ScriptedReply HealthyService::report(const RecordedRequest& request, InboxStore& store) {
    const std::optional<QJsonObject> object = jsonObject(request.body);
    if (!object)
        return error(400, QStringLiteral("the report is not a JSON object"));
    const QString key = keyOr(object->value(QStringLiteral("client_report_id")).toString());
    return stored(store.put(InboxStore::Kind::report, key, request.body), QStringLiteral("code"));
}

ScriptedReply HealthyService::uploadScreenshot(const RecordedRequest& request, InboxStore& store) {
    if (request.body.isEmpty())
        return error(400, QStringLiteral("no image bytes"));
    QByteArray contentType = request.header("Content-Type");
    if (contentType.isEmpty())
        contentType = "application/octet-stream";
    // The identifier follows from the content, so a resent upload lands on the same snapshot.
    const QString id = digest(contentType + '\n' + request.body);
    if (!store.putScreenshot(id, contentType, request.body))
        return error(500, QStringLiteral("the inbox could not store it"));
    return jsonAnswer(200, QJsonObject{{QStringLiteral("id"), id}});
}

ScriptedReply HealthyService::downloadScreenshot(const QString& id, InboxStore& store) {
    const std::optional<InboxStore::Screenshot> screenshot = store.screenshot(id);
    if (!screenshot)
        return error(404, QStringLiteral("no such screenshot"));
    ScriptedReply reply;
    reply.body = screenshot->bytes;
    reply.headers = {{"Content-Type", screenshot->contentType}};
    return reply;
}

ScriptedReply HealthyService::rewardsAnswer(const RecordedRequest& request) {
    if (request.query.queryItemValue(QStringLiteral("app")).isEmpty())
        return error(400, QStringLiteral("the app query item is missing"));
    return jsonAnswer(200, rewards());
}

ScriptedReply HealthyService::diagnostics(const RecordedRequest& request, InboxStore& store) {
    if (!jsonObject(request.body))
        return error(400, QStringLiteral("the bundle is not a JSON object"));
    return stored(store.put(InboxStore::Kind::bundle, digest(request.body), request.body),
                  QStringLiteral("code"));
}

ScriptedReply HealthyService::struggle(const RecordedRequest& request, InboxStore& store) {
    const QByteArray authorization = request.header("Authorization");
    if (!authorization.startsWith("Bearer ") || authorization.mid(7).trimmed().isEmpty())
        return error(401, QStringLiteral("sign in required"));
    const std::optional<QJsonObject> object = jsonObject(request.body);
    if (!object)
        return error(400, QStringLiteral("the batch is not a JSON object"));
    const QString key = keyOr(object->value(QStringLiteral("upload_id")).toString());
    if (!store.put(InboxStore::Kind::batch, key, request.body))
        return error(500, QStringLiteral("the inbox could not store it"));
    const auto events = object->value(QStringLiteral("events")).toArray().size();
    return jsonAnswer(200, QJsonObject{{QStringLiteral("accepted"), static_cast<qint64>(events)}});
}
