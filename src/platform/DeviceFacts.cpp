#include "DeviceFacts.h"

#include <QFile>

#include <sys/utsname.h>
#include <unistd.h>

namespace {

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Files under /proc and /sys report a size of 0 or 4096, so read until the end instead.
    return file.read(64 * 1024);
}

} // namespace

std::array<int, 3> DeviceFacts::parseKernelRelease(const QString& release) {
    std::array<int, 3> numbers{0, 0, 0};
    qsizetype at = 0;
    for (int& number : numbers) {
        qsizetype end = at;
        while (end < release.size() && release.at(end).isDigit() && release.at(end).unicode() < 128)
            ++end;
        if (end == at)
            break;
        number = release.mid(at, end - at).toInt();
        if (end >= release.size() || release.at(end) != u'.')
            break;
        at = end + 1;
    }
    return numbers;
}

std::array<int, 3> DeviceFacts::kernelVersion() {
    struct utsname name {};
    if (::uname(&name) != 0)
        return {0, 0, 0};
    return parseKernelRelease(QString::fromLatin1(name.release));
}

QString DeviceFacts::productName() {
    return QString::fromUtf8(readSmallFile(QStringLiteral("/sys/class/dmi/id/product_name"))).trimmed();
}

QString DeviceFacts::processorName(const QString& cpuinfo) {
    const QStringList lines = cpuinfo.split(u'\n');
    for (const char* key : {"model name", "Hardware", "Processor", "cpu model"}) {
        for (const QString& line : lines) {
            const qsizetype colon = line.indexOf(u':');
            if (colon < 0 || line.left(colon).trimmed() != QLatin1String(key))
                continue;
            const QString value = line.mid(colon + 1).trimmed();
            if (!value.isEmpty())
                return value;
        }
    }
    return {};
}

QString DeviceFacts::processorName() {
    return processorName(QString::fromUtf8(readSmallFile(QStringLiteral("/proc/cpuinfo"))));
}

std::uint64_t DeviceFacts::physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

QString DeviceFacts::kernelParameter(const QString& name) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(QLatin1String("..")))
        return {};
    QByteArray bytes = readSmallFile(QStringLiteral("/proc/sys/") + QString(name).replace(u'.', u'/'));
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    while (bytes.endsWith('\n'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}
