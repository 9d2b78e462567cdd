#include "FailureRecordsState.h"

#include "FailureRecords.h"
#include "FailureRecordsJson.h"
#include "JourneyStep.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

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

namespace {

bool digitsAt(const QString& text, qsizetype from, qsizetype count) {
    for (qsizetype i = from; i < from + count; ++i)
        if (text.at(i) < u'0' || text.at(i) > u'9')
            return false;
    return true;
}

// YYYY-MM-DD
bool isDay(const QString& text) {
    return text.size() == 10 && digitsAt(text, 0, 4) && text.at(4) == u'-' && digitsAt(text, 5, 2) &&
           text.at(7) == u'-' && digitsAt(text, 8, 2);
}

// YYYY-MM-DDTHH:MM:SSZ, as iso() writes it.
bool isTime(const QString& text) {
    return text.size() == 20 && isDay(text.left(10)) && text.at(10) == u'T' && digitsAt(text, 11, 2) &&
           text.at(13) == u':' && digitsAt(text, 14, 2) && text.at(16) == u':' && digitsAt(text, 17, 2) &&
           text.at(19) == u'Z';
}

// 8-4-4-4-12 hexadecimal digits.
bool isUuid(const QString& text) {
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !hex)
            return false;
    }
    return true;
}

} // namespace

State State::checked() const {
    State state;
    for (const Entry& entry : pending) {
        if (!isTime(entry.ts))
            continue;
        state.pending.append(
            Entry{entry.ts, sanitizeID(entry.event), sanitizeID(entry.feature),
                  entry.account_kind ? std::optional<QString>(sanitizeID(*entry.account_kind)) : std::nullopt,
                  std::clamp<qint64>(entry.count, 1, maxCount), sanitize(entry.code)});
    }
    for (auto it = journey.cbegin(); it != journey.cend(); ++it) {
        if (!JourneySteps::fromRawValue(it.key()) || !isTime(it.value().ts))
            continue;
        const auto& feature = it.value().feature;
        state.journey.insert(
            it.key(),
            Stamp{it.value().ts, feature ? std::optional<QString>(sanitizeID(*feature)) : std::nullopt});
    }
    for (const QString& step : journeySent)
        if (JourneySteps::fromRawValue(step))
            state.journeySent.append(step);
    state.journeySent.sort();
    state.journeySent.removeDuplicates();
    if (uploadID && isUuid(*uploadID))
        state.uploadID = uploadID;
    state.sentDay = isDay(sentDay) ? sentDay : QString();
    state.sentToday = std::clamp<qint64>(sentToday, 0, maxUploadsPerDay);
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
