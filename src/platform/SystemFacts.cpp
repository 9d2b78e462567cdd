#include "SystemFacts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/utsname.h>

#include <algorithm>
#include <optional>

namespace {

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // sysfs and os-release files are tiny; the cap keeps a strange file from being read whole.
    return QString::fromUtf8(file.read(64 * 1024));
}

std::optional<long long> readNumber(const QString& path) {
    bool ok = false;
    const long long value = readText(path).trimmed().toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

// os-release values follow shell quoting rules: optional single or double quotes, backslash escapes.
QString unquote(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        const bool doubleQuoted = value.front() == u'"';
        value = value.mid(1, value.size() - 2);
        if (doubleQuoted) {
            QString plain;
            for (qsizetype i = 0; i < value.size(); ++i) {
                if (value[i] == u'\\' && i + 1 < value.size())
                    ++i;
                plain += value[i];
            }
            value = plain;
        }
    }
    return value.trimmed();
}

QString prettyName(const QString& osReleaseText) {
    QString name;
    for (const QString& line : osReleaseText.split(u'\n')) {
        const QString trimmedLine = line.trimmed();
        if (trimmedLine.startsWith(QLatin1String("PRETTY_NAME=")))
            return unquote(trimmedLine.mid(12));
        if (trimmedLine.startsWith(QLatin1String("NAME=")))
            name = unquote(trimmedLine.mid(5));
    }
    return name;
}

QString kernelVersion(const QString& release) {
    static const QRegularExpression leadingNumbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = leadingNumbers.match(release.trimmed());
    if (!match.hasMatch())
        return release.trimmed();
    const auto part = [&](int i) {
        return match.captured(i).isEmpty() ? QStringLiteral("0") : match.captured(i);
    };
    return QStringLiteral("%1.%2.%3").arg(part(1), part(2), part(3));
}

int levelForTrip(const QString& type) {
    if (type == QLatin1String("critical") || type == QLatin1String("hot"))
        return 3;
    if (type == QLatin1String("passive"))
        return 2;
    if (type == QLatin1String("active"))
        return 1;
    return 0;
}

} // namespace

QString SystemFacts::osDescription() {
    QString osRelease = readText(QStringLiteral("/etc/os-release"));
    if (osRelease.isEmpty())
        osRelease = readText(QStringLiteral("/usr/lib/os-release"));
    struct utsname names {};
    const QString release = ::uname(&names) == 0 ? QString::fromUtf8(names.release) : QString();
    return osDescription(osRelease, release);
}

QString SystemFacts::osDescription(const QString& osReleaseText, const QString& kernelRelease) {
    const QString kernel = kernelRelease.trimmed().isEmpty()
                               ? QStringLiteral("Linux")
                               : QStringLiteral("Linux ") + kernelVersion(kernelRelease);
    const QString name = prettyName(osReleaseText);
    return name.isEmpty() ? kernel : name + QStringLiteral(", ") + kernel;
}

int SystemFacts::thermalLevel() {
    return thermalLevel(QStringLiteral("/sys/class/thermal"));
}

int SystemFacts::thermalLevel(const QString& thermalClassDir) {
    int level = 0;
    const QDir dir(thermalClassDir);
    const QStringList zones =
        dir.entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& zone : zones) {
        const QString zonePath = dir.filePath(zone);
        const auto temperature = readNumber(zonePath + QStringLiteral("/temp"));
        if (!temperature)
            continue;
        const QStringList trips =
            QDir(zonePath).entryList({QStringLiteral("trip_point_*_type")}, QDir::Files | QDir::System);
        for (const QString& tripType : trips) {
            const QString stem = tripType.chopped(4); // "trip_point_N_"
            const auto tripTemperature = readNumber(zonePath + u'/' + stem + QStringLiteral("temp"));
            // Some drivers report unused trip points at 0 or below; they never count.
            if (!tripTemperature || *tripTemperature <= 0 || *temperature < *tripTemperature)
                continue;
            level = std::max(level, levelForTrip(readText(zonePath + u'/' + tripType).trimmed()));
        }
    }
    return level;
}
