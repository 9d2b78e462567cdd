#include "FailureRecordsDevice.h"

#include "DeviceFacts.h"

#include <QStringView>

#include <cmath>

namespace FailureRecords::Device {
namespace {

// Keeps Unicode letters and numbers plus the given ASCII characters, at most 40 characters.
QString keepCharacters(const QString& text, QLatin1StringView extra) {
    QString kept;
    int characters = 0;
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (characters == 40)
            break;
        const bool wanted = QChar::isLetter(c) || QChar::isNumber(c) || (c < 128 && extra.contains(QChar(c)));
        if (!wanted)
            continue;
        kept.append(QString::fromUcs4(&c, 1));
        ++characters;
    }
    return kept;
}

} // namespace

QString os(const std::array<int, 3>& kernelVersion) {
    return QStringLiteral("Linux %1.%2.%3").arg(kernelVersion[0]).arg(kernelVersion[1]).arg(kernelVersion[2]);
}

QString os() {
    static const QString text = os(DeviceFacts::kernelVersion());
    return text;
}

QString model() {
    static const QString text = DeviceFacts::productName();
    return text;
}

QJsonObject hardware(std::uint64_t memoryBytes, const QString& chip, const QString& model) {
    // Rounded to the nearest whole GiB, halves away from zero.
    QJsonObject facts{{QStringLiteral("ram_gb"),
                       static_cast<qint64>(std::llround(static_cast<double>(memoryBytes) / 1073741824.0))}};
    if (const QString cleanChip = keepCharacters(chip, QLatin1StringView(" .()+_-")); !cleanChip.isEmpty())
        facts.insert(QStringLiteral("chip"), cleanChip);
    if (const QString cleanModel = keepCharacters(model, QLatin1StringView(",._-")); !cleanModel.isEmpty())
        facts.insert(QStringLiteral("model"), cleanModel);
    return facts;
}

QJsonObject hardware() {
    static const QJsonObject facts =
        hardware(DeviceFacts::physicalMemoryBytes(), DeviceFacts::processorName(), model());
    return facts;
}

QString platform() {
    return QStringLiteral("linux");
}

QString sysctlString(const QString& name) {
    return DeviceFacts::kernelParameter(name);
}

} // namespace FailureRecords::Device
