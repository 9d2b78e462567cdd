#include "FailureRecordsState.h"

#include "FailureRecordsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace FailureRecords {

QJsonObject State::toJson() const {
    QJsonArray entries;
    for (const Entry& entry : pending)
        entries.append(entry.toJson());
    QJsonObject stamps;
    for (auto it = journey.cbegin(); it != journey.cend(); ++it)
        stamps.insert(it.key(), it.value().toJson());
    QJsonObject object{{QStringLiteral("pending"), entries},
                       {QStringLiteral("journey"), stamps},
                       {QStringLiteral("journeySent"), QJsonArray::fromStringList(journeySent)},
                       {QStringLiteral("sentDay"), sentDay},
                       {QStringLiteral("sentToday"), sentToday}};
    if (uploadID)
        object.insert(QStringLiteral("uploadID"), *uploadID);
    return object;
}

QByteArray State::encode() const {
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<State> State::fromJson(const QJsonObject& object) {
    using namespace FailureRecordsJson;
    const QJsonValue pendingValue = object.value(QStringLiteral("pending"));
    const QJsonValue journeyValue = object.value(QStringLiteral("journey"));
    const QJsonValue sentValue = object.value(QStringLiteral("journeySent"));
    const auto uploadID = optionalString(object, QStringLiteral("uploadID"));
    const auto sentDay = string(object, QStringLiteral("sentDay"));
    const auto sentToday = integer(object, QStringLiteral("sentToday"));
    if (!pendingValue.isArray() || !journeyValue.isObject() || !sentValue.isArray() || !uploadID ||
        !sentDay || !sentToday)
        return std::nullopt;

    State state;
    for (const QJsonValue item : pendingValue.toArray()) {
        const auto entry = item.isObject() ? Entry::fromJson(item.toObject()) : std::nullopt;
        if (!entry)
            return std::nullopt;
        state.pending.append(*entry);
    }
    const QJsonObject stamps = journeyValue.toObject();
    for (auto it = stamps.constBegin(); it != stamps.constEnd(); ++it) {
        const auto stamp = it.value().isObject() ? Stamp::fromJson(it.value().toObject()) : std::nullopt;
        if (!stamp)
            return std::nullopt;
        state.journey.insert(it.key(), *stamp);
    }
    for (const QJsonValue item : sentValue.toArray()) {
        if (!item.isString())
            return std::nullopt;
        state.journeySent.append(item.toString());
    }
    state.uploadID = *uploadID;
    state.sentDay = *sentDay;
    state.sentToday = *sentToday;
    return state;
}

std::optional<State> State::decode(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

} // namespace FailureRecords
