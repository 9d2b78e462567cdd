// Snapshot preparation side by side with vipsthumbnail and a libpng decode-only floor.
//
// Makes its inputs deterministically, runs every tool in a process of its own (so that each peak
// resident size is that tool's alone), several times in turn, and prints wall and CPU times, the peak
// resident size and the output's size. Usage: screenshot_bench [--runs N] [--keep DIR]
#include "BenchInputs.h"
#include "FeedbackScreenshot.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    double peakMegabytes = 0;
    bool ok = false;
};

// The runs of one tool on one input.
struct Runs {
    std::vector<Run> all;

    static double median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[values.size() / 2];
    }
    double medianWall() const {
        std::vector<double> v;
        for (const Run& r : all)
            v.push_back(r.wallMs);
        return median(v);
    }
    double medianCpu() const {
        std::vector<double> v;
        for (const Run& r : all)
            v.push_back(r.cpuMs);
        return median(v);
    }
    double fastestWall() const {
        double best = all.empty() ? 0 : all.front().wallMs;
        for (const Run& r : all)
            best = std::min(best, r.wallMs);
        return best;
    }
    double peakMegabytes() const {
        double peak = 0;
        for (const Run& r : all)
            peak = std::max(peak, r.peakMegabytes);
        return peak;
    }
    bool ok() const {
        return !all.empty() && std::all_of(all.begin(), all.end(), [](const Run& r) { return r.ok; });
    }
};

Run runOnce(const std::vector<std::string>& command) {
    QStringList arguments;
    for (const std::string& part : command)
        arguments << QString::fromStdString(part);
    QProcess measure;
    measure.start(QStringLiteral(MORVIK_MEASURE_CHILD), arguments);
    if (!measure.waitForFinished(600000))
        return {};
    const QList<QByteArray> fields = measure.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 4)
        return {};
    Run run;
    run.wallMs = fields[0].toDouble();
    run.cpuMs = fields[1].toDouble();
    run.peakMegabytes = fields[2].toDouble() / 1024.0; // kilobytes on Linux
    run.ok = fields[3] == "1";
    return run;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describe(const QString& path) {
    const QByteArray bytes = read(path);
    if (bytes.isEmpty())
        return QStringLiteral("-");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    return QStringLiteral("%1x%2, %3 kB").arg(size.width()).arg(size.height()).arg(bytes.size() / 1000);
}

void printRow(const char* tool, const Runs& runs, const QString& output) {
    std::printf("    %-14s %9.1f %9.1f %9.1f %9.1f   %s%s\n", tool, runs.medianWall(), runs.fastestWall(),
                runs.medianCpu(), runs.peakMegabytes(), qPrintable(output), runs.ok() ? "" : "  (FAILED)");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the screenshot text
    int runs = 5;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
    }
    QTemporaryDir temp;
    const QString dir = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(dir);

    struct Input {
        const char* label;
        QString file;
        bool png;
    };
    std::printf("Making inputs in %s ...\n", qPrintable(dir));
    std::fflush(stdout);
    const std::vector<Input> inputs = {
        {"5120x2880 screenshot PNG", dir + QStringLiteral("/screen-5k.png"), true},
        {"2880x1800 screenshot PNG", dir + QStringLiteral("/screen-2880.png"), true},
        {"4032x3024 JPEG, EXIF orientation 6", dir + QStringLiteral("/camera.jpg"), false},
        {"1000x800 JPEG within the limits", dir + QStringLiteral("/small.jpg"), false},
    };
    if (!write(inputs[0].file, BenchInputs::png(BenchInputs::screenshot(5120, 2880, 5))) ||
        !write(inputs[1].file, BenchInputs::png(BenchInputs::screenshot(2880, 1800, 6))) ||
        !write(inputs[2].file, BenchInputs::jpeg(BenchInputs::photo(4032, 3024, 7), 92, 6)) ||
        !write(inputs[3].file, BenchInputs::jpegNear(BenchInputs::photo(1000, 800, 8), 300000))) {
        std::fprintf(stderr, "cannot write the inputs\n");
        return 1;
    }

    const bool haveVips = !QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty();
    std::printf("\n%d runs each, the tools taking turns so that a busy machine slows all of them alike.\n",
                runs);
    std::printf("Milliseconds per process: median and fastest wall time, median CPU time (user + system);\n"
                "peak resident size in MB.\n");
    std::printf("    %-14s %9s %9s %9s %9s   %s\n", "tool", "wall", "fastest", "cpu", "peak RSS", "output");

    Runs ours5k, vips5k, floor5k;
    for (const Input& input : inputs) {
        const QByteArray original = read(input.file);
        std::printf("\n%s (%lld kB)\n", input.label, static_cast<long long>(original.size() / 1000));
        std::fflush(stdout);
        const QString oursOut = input.file + QStringLiteral(".ours.jpg");
        const QString vipsOut = input.file + QStringLiteral(".vips.jpg");
        const std::vector<std::string> oursCommand{MORVIK_PREPARE_ONCE, input.file.toStdString(),
                                                   oursOut.toStdString()};
        const std::vector<std::string> vipsCommand{"vipsthumbnail",
                                                   input.file.toStdString(),
                                                   "-s",
                                                   "1600x1600>",
                                                   "-o",
                                                   (vipsOut + QStringLiteral("[Q=80]")).toStdString()};
        const std::vector<std::string> floorCommand{MORVIK_PNG_DECODE_FLOOR, input.file.toStdString()};
        Runs ours, vips, floor;
        for (int i = 0; i < runs; ++i) {
            ours.all.push_back(runOnce(oursCommand));
            if (haveVips)
                vips.all.push_back(runOnce(vipsCommand));
            if (input.png)
                floor.all.push_back(runOnce(floorCommand));
        }
        const bool unchanged = read(oursOut) == original;
        printRow("ours", ours,
                 describe(oursOut) + (unchanged ? QStringLiteral(", passed unchanged") : QString()));
        if (haveVips)
            printRow("vipsthumbnail", vips, describe(vipsOut));
        else
            std::printf("    %-14s not installed (Debian package libvips-tools)\n", "vipsthumbnail");
        if (input.png)
            printRow("decode floor", floor, QStringLiteral("(decode only)"));
        if (&input == &inputs[0]) {
            ours5k = ours;
            vips5k = vips;
            floor5k = floor;
        }
    }

    // The same preparation inside this process, without process start-up, for reference.
    const QByteArray big = read(inputs[0].file);
    std::vector<double> inProcess;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto prepared = Feedback::preparedScreenshot(big);
        inProcess.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!prepared)
            return 1;
    }
    std::sort(inProcess.begin(), inProcess.end());

    std::printf("\n5120x2880 PNG summary (wall-time medians; CPU-time medians in brackets)\n");
    std::printf("    ours / decode floor  = %.2fx [%.2fx] (target at most 1.3x)\n",
                ours5k.medianWall() / floor5k.medianWall(), ours5k.medianCpu() / floor5k.medianCpu());
    if (haveVips)
        std::printf("    ours / vipsthumbnail = %.2fx [%.2fx] (target at most 0.45x)\n",
                    ours5k.medianWall() / vips5k.medianWall(), ours5k.medianCpu() / vips5k.medianCpu());
    std::printf("    ours peak RSS        = %.1f MB (target at most 40 MB)\n", ours5k.peakMegabytes());
    std::printf("    ours in-process      = %.1f ms median (no process start)\n",
                inProcess[inProcess.size() / 2]);
    return 0;
}
