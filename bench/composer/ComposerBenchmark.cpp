// Time from the owner's compose command to the composer window on screen, under an X11 display: the
// helper asks for a snapshot, the benchmark answers at once with a picture of an owner's window, and
// the clocks stop when the helper reports the window exposed ("composer: window exposed") and its
// first frame presented ("composer: window shown"). The first window of a process includes starting
// QML and the graphics stack; a later one (after the first was closed) does not. Prints median,
// minimum and maximum of each.
//
//   bench_composer [ROUNDS]   (default 10; needs DISPLAY, and xdotool for the later-window figure)

#include "HelperProcess.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int timeoutMs = 20000;

QByteArray ownerPicture() {
    QImage picture(1280, 800, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(238, 240, 244));
    painter.fillRect(QRect(0, 0, 1280, 52), QColor(52, 70, 110));
    for (int i = 0; i < 12; ++i)
        painter.fillRect(QRect(40 + i * 100, 100 + (i % 3) * 200, 80, 160),
                         QColor::fromHsv(i * 30, 140, 220));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

struct Times {
    double exposed = 0;
    double shown = 0;
};

std::optional<Times> composeUntilShown(HelperProcess& helper) {
    QElapsedTimer timer;
    timer.start();
    helper.write(R"({"cmd":"compose"})");
    Times times;
    const bool done = helper.waitFor([&](const QJsonObject& m) {
        const QString log = m.value(QStringLiteral("log")).toString();
        if (log == QLatin1String("composer: window exposed"))
            times.exposed = timer.nsecsElapsed() / 1e6;
        else if (log == QLatin1String("composer: window shown"))
            times.shown = timer.nsecsElapsed() / 1e6;
        return times.exposed > 0 && times.shown > 0;
    });
    if (!done)
        return std::nullopt;
    return times;
}

// Runs xdotool; false when it fails.
bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The window manager's close (Alt+F4) on the composer, as a user would.
bool closeComposer(HelperProcess& helper) {
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--pid"), QString::number(helper.pid()),
                  QStringLiteral("--name"), QStringLiteral("^Send Feedback$")});
    if (!search.waitForFinished(timeoutMs))
        return false;
    const QString window =
        QString::fromLatin1(search.readAllStandardOutput()).trimmed().section(QLatin1Char('\n'), 0, 0);
    // Separate commands: chained after a window search, xdotool sends the keys to that window and
    // stops half-way once it is gone, leaving the keys pressed.
    return !window.isEmpty() &&
           xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}) &&
           helper.waitForLog(QStringLiteral("composer: window closed"));
}

void report(const char* name, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-34s %10s\n", name, "n/a");
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-34s %10.1f %10.1f %10.1f %6zu\n", name, values[values.size() / 2], values.front(),
                values.back(), values.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr,
                     "bench_composer: needs an X11 display (DISPLAY); run it under Xvfb with openbox\n");
        return 2;
    }
    const bool canClose = !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();

    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("morvik.feedback.composer.debug=true"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    // Nothing is sent; the service address only has to be a loopback one.
    env.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), QStringLiteral("http://127.0.0.1:9"));
    const QByteArray snapshot = ownerPicture();

    std::vector<double> firstExposed, firstShown, laterExposed, laterShown;
    for (int round = 0; round <= rounds; ++round) {
        HelperProcess helper(QStringLiteral(MORVIK_HELPER_PATH), env, snapshot);
        helper.write(R"({"config":{"appKey":"bench","ingestKey":"k","productName":"Bench Owner"}})");
        if (!helper.waitFor([](const QJsonObject& m) {
                return m.value(QStringLiteral("event")) == QLatin1String("ready");
            })) {
            std::fprintf(stderr, "bench_composer: the helper did not start\n");
            return 1;
        }
        const auto shown = composeUntilShown(helper);
        if (!shown) {
            std::fprintf(stderr, "bench_composer: no composer window\n");
            return 1;
        }
        if (round == 0)
            continue; // warms the page cache and the shader cache
        firstExposed.push_back(shown->exposed);
        firstShown.push_back(shown->shown);
        if (canClose && closeComposer(helper))
            if (const auto again = composeUntilShown(helper)) {
                laterExposed.push_back(again->exposed);
                laterShown.push_back(again->shown);
            }
    }
    std::printf("compose -> composer window shown (ms, snapshot answered at once, %d rounds)\n", rounds);
    std::printf("%-34s %10s %10s %10s %6s\n", "", "median", "min", "max", "n");
    report("first window exposed", firstExposed);
    report("first window's first frame", firstShown);
    report("later window exposed", laterExposed);
    report("later window's first frame", laterShown);
    std::sort(firstExposed.begin(), firstExposed.end());
    std::printf("target: first window exposed within 250 ms: %s\n",
                firstExposed[firstExposed.size() / 2] <= 250 ? "met" : "NOT met");
    return 0;
}
