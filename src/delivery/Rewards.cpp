#include "Rewards.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Feedback {
namespace {

// JSON numbers arrive as doubles; an amount must be a whole number that a double holds exactly.
std::optional<qint64> integer(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    constexpr double exactLimit = 9007199254740992.0; // 2^53
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > exactLimit)
        return std::nullopt;
    return static_cast<qint64>(number);
}

std::optional<QString> text(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

Rewards Rewards::builtin() {
    Rewards r;
    r.base_usd = 10;
    r.max_usd = 50;
    r.source = QStringLiteral("builtin");
    r.copy.settings_line = QStringLiteral(
        "Confirmed bugs and ideas we build earn $10 in Velquist Cash, good toward any Velquist purchase.");
    r.copy.sheet_line = QStringLiteral(
        "Share an idea we build, or catch a bug we confirm, and $10 in Velquist Cash lands in your account. "
        "A fully specced idea or a detailed walkthrough earns up to $50.");
    r.copy.confirm_bug = QStringLiteral(
        "We triage every report. If this bug is confirmed, $10 or more in Velquist Cash lands at");
    r.copy.confirm_idea =
        QStringLiteral("We read every idea. If we build it, $10 or more in Velquist Cash lands at");
    return r;
}

std::optional<Rewards> Rewards::decode(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject top = document.object();
    const QJsonValue copyValue = top.value(QStringLiteral("copy"));
    if (!copyValue.isObject())
        return std::nullopt;
    const QJsonObject copy = copyValue.toObject();

    const auto base = integer(top, QStringLiteral("base_usd"));
    const auto max = integer(top, QStringLiteral("max_usd"));
    const auto source = text(top, QStringLiteral("source"));
    const auto settings = text(copy, QStringLiteral("settings_line"));
    const auto sheet = text(copy, QStringLiteral("sheet_line"));
    const auto bug = text(copy, QStringLiteral("confirm_bug"));
    const auto idea = text(copy, QStringLiteral("confirm_idea"));
    if (!base || !max || !source || !settings || !sheet || !bug || !idea)
        return std::nullopt;
    return Rewards{*base, *max, *source, Copy{*settings, *sheet, *bug, *idea}};
}

QByteArray Rewards::encode() const {
    const QJsonObject copyObject{{QStringLiteral("settings_line"), copy.settings_line},
                                 {QStringLiteral("sheet_line"), copy.sheet_line},
                                 {QStringLiteral("confirm_bug"), copy.confirm_bug},
                                 {QStringLiteral("confirm_idea"), copy.confirm_idea}};
    const QJsonObject object{{QStringLiteral("base_usd"), base_usd},
                             {QStringLiteral("max_usd"), max_usd},
                             {QStringLiteral("source"), source},
                             {QStringLiteral("copy"), copyObject}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace Feedback
