#include "ProcessFacts.h"

#include <QFile>

#include <unistd.h>

std::int32_t ProcessFacts::parentProcessId() {
    return static_cast<std::int32_t>(::getppid());
}

std::uint64_t ProcessFacts::residentBytes(std::int64_t pid) {
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toULongLong() * 1024;
    }
    return 0;
}
