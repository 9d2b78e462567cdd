// Start-up cost of the helper against a bare QGuiApplication on the same platform plugin: time from
// spawning the process to its first "ready" line, and resident memory once it is idle. Runs both
// alternately so that machine noise hits them alike, and prints medians and ratios.
#include "ProcessFacts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Sample {
    double ms;
    double rssMiB;
    QStringList heavy; // Qt Quick, QML or network libraries mapped while idle
};

QStringList heavyLibraries(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList found;
    if (!maps.open(QIODevice::ReadOnly))
        return found;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        for (const char* name : {"libQt6Quick.so", "libQt6Qml.so", "libQt6Network.so"})
            if (line.contains(name) && !found.contains(QLatin1String(name)))
                found << QLatin1String(name);
    }
    return found;
}

Sample measure(const QString& program, bool sendConfig) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    process.waitForStarted();
    if (sendConfig)
        process.write("{\"config\":{\"appKey\":\"bench\",\"ingestKey\":\"k\"}}\n");
    QByteArray out;
    while (!out.contains("\"ready\"") && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    const double ms = timer.nsecsElapsed() / 1e6;
    QThread::msleep(300); // idle
    const double rss = double(ProcessFacts::residentBytes(process.processId())) / (1024.0 * 1024.0);
    const QStringList heavy = heavyLibraries(process.processId());
    process.closeWriteChannel();
    process.waitForFinished(5000);
    return {ms, rss, heavy};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const QString helper = QStringLiteral(MORVIK_HELPER_PATH);
    const QString bare = QStringLiteral(MORVIK_BARE_PATH);
    std::printf("platform plugin: %s\n",
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                    ? (qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen (no display)" : "xcb")
                    : qgetenv("QT_QPA_PLATFORM").constData());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::vector<double> helperMs, helperRss, bareMs, bareRss;
    QStringList helperHeavy;
    measure(helper, true); // warm the page cache for both
    measure(bare, false);
    for (int i = 0; i < rounds; ++i) {
        const Sample h = measure(helper, true);
        const Sample b = measure(bare, false);
        helperMs.push_back(h.ms);
        helperRss.push_back(h.rssMiB);
        helperHeavy = h.heavy;
        bareMs.push_back(b.ms);
        bareRss.push_back(b.rssMiB);
    }
    std::printf("%-28s %12s %12s\n", "", "start (ms)", "idle RSS (MiB)");
    std::printf("%-28s %12.1f %12.1f\n", "bare QGuiApplication", median(bareMs), median(bareRss));
    std::printf("%-28s %12.1f %12.1f\n", "morvik-feedback-helper", median(helperMs), median(helperRss));
    std::printf("%-28s %11.2fx %11.2fx   (targets: 1.30x, 1.20x)\n", "ratio",
                median(helperMs) / median(bareMs), median(helperRss) / median(bareRss));
    std::printf("helper's Qt Quick, QML and network libraries mapped while idle: %s\n",
                helperHeavy.isEmpty() ? "none" : qPrintable(helperHeavy.join(QStringLiteral(", "))));
    return 0;
}
