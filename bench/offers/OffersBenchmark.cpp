// Time from a screenshot file closed in the screenshot folder to the offer banner on screen, under an
// X11 display, side by side with the same run's compose-to-window time. The benchmark plays the owner:
// its own window is the active one and its process id goes to the helper as ownerPID. The file is
// saved the way screenshot tools save (a temporary file renamed into place); the clock stops when
// the helper reports the banner window exposed ("banner: window exposed"). Each round is a new
// helper, so each banner is the first of its process (Qt Quick not loaded yet). The collection of
// file events (0.3 s) is part of every figure.
//
// Then the idle cost of watching: a helper with offers active and nothing happening, its CPU time
// over a minute read from /proc/PID/stat.
//
//   bench_offers [ROUNDS] [IDLE_SECONDS]   (defaults 10 and 60; needs DISPLAY and a window manager)

#include "HelperProcess.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

QByteArray picture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(238, 240, 244));
    for (int i = 0; i < 12; ++i)
        painter.fillRect(QRect(40 + i * 90, 80 + (i % 3) * 150, 70, 120), QColor::fromHsv(i * 30, 140, 220));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class OwnerWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(90, 120, 160));
    }
};

// User plus system CPU time of a process, in milliseconds, from /proc/PID/stat.
std::optional<double> cpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.readAll();
    // The command name may hold spaces; the fields after it are counted from its closing parenthesis.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

void report(const char* name, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-40s %10s\n", name, "n/a");
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-40s %10.1f %10.1f %10.1f %6zu\n", name, values[values.size() / 2], values.front(),
                values.back(), values.size());
}

bool isReady(const QJsonObject& m) {
    return m.value(QStringLiteral("event")) == QLatin1String("ready");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr,
                     "bench_offers: needs an X11 display (DISPLAY); run it under Xvfb with openbox\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 60;

    OwnerWindow owner;
    owner.setTitle(QStringLiteral("Bench Owner"));
    owner.setGeometry(QRect(100, 100, 900, 600));
    owner.show();
    owner.requestActivate();

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Pictures/Screenshots"));
    QDir().mkpath(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("morvik.feedback.composer.debug=true\nmorvik.feedback.offers.debug=true"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    // Nothing is sent; the service address only has to be a loopback one.
    env.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), QStringLiteral("http://127.0.0.1:9"));
    env.remove(QStringLiteral("FEEDBACK_QA_OFFER"));
    env.remove(QStringLiteral("FEEDBACK_QA_MUTE"));
    const QByteArray snapshot = picture(QSize(900, 600));
    const QByteArray screenshot = picture(QSize(1600, 1000));
    const QByteArray config = QStringLiteral(R"({"config":{"appKey":"bench","ingestKey":"k",)"
                                             R"("productName":"Bench Owner","ownerPID":%1}})")
                                  .arg(::getpid())
                                  .toUtf8();

    std::vector<double> bannerExposed, composerExposed;
    for (int round = 0; round <= rounds; ++round) {
        {
            HelperProcess helper(QStringLiteral(MORVIK_HELPER_PATH), env, snapshot);
            helper.write(config);
            if (!helper.waitFor(isReady)) {
                std::fprintf(stderr, "bench_offers: the helper did not start\n");
                return 1;
            }
            // The watch is in place once the configuration has been applied; a moment for the
            // owner's window to be the active one again after the helper started.
            owner.requestActivate();
            helper.waitFor([](const QJsonObject&) { return false; }, 300);
            QElapsedTimer timer;
            QSaveFile file(folder + QStringLiteral("/Screenshot_%1.png").arg(round));
            file.open(QIODevice::WriteOnly);
            file.write(screenshot);
            timer.start();
            file.commit();
            if (!helper.waitForLog(QStringLiteral("banner: window exposed"))) {
                std::fprintf(stderr, "bench_offers: no banner in round %d\n", round);
                return 1;
            }
            if (round > 0) // the first round warms the page cache
                bannerExposed.push_back(timer.nsecsElapsed() / 1e6);
        }
        {
            HelperProcess helper(QStringLiteral(MORVIK_HELPER_PATH), env, snapshot);
            helper.write(config);
            if (!helper.waitFor(isReady))
                return 1;
            QElapsedTimer timer;
            timer.start();
            helper.write(R"({"cmd":"compose"})");
            if (!helper.waitForLog(QStringLiteral("composer: window exposed"))) {
                std::fprintf(stderr, "bench_offers: no composer in round %d\n", round);
                return 1;
            }
            if (round > 0)
                composerExposed.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("first window of a helper, exposed (ms, %d rounds)  median        min        max  count\n",
                rounds);
    report("screenshot file closed -> banner", bannerExposed);
    report("compose command -> composer window", composerExposed);

    // Idle: offers active, the owner's window active, nothing happening.
    HelperProcess idle(QStringLiteral(MORVIK_HELPER_PATH), env, snapshot);
    idle.write(config);
    if (!idle.waitFor(isReady))
        return 1;
    idle.waitFor([](const QJsonObject&) { return false; }, 3000); // past the start and the reward refresh
    const auto before = cpuMs(idle.pid());
    QElapsedTimer elapsed;
    elapsed.start();
    idle.waitFor([](const QJsonObject&) { return false; }, idleSeconds * 1000);
    const auto after = cpuMs(idle.pid());
    if (before && after)
        std::printf("idle with offers active: %.2f ms of CPU per second over %.0f s (%.0f ms in all)\n",
                    (*after - *before) / (elapsed.elapsed() / 1000.0), elapsed.elapsed() / 1000.0,
                    *after - *before);
    return 0;
}
