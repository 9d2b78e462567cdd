// What blacking out parts of a snapshot adds to Send: the burn (decode the whole picture, paint the
// areas, encode a lossless PNG) beside the upload's own preparation of the same picture, which runs
// right after it. Medians of several rounds, one process, side by side. Release builds only.
#include "BenchInputs.h"
#include "FeedbackScreenshot.h"
#include "SnapshotRedaction.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double medianMs(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QList<QRectF> areas{QRectF(0.1, 0.1, 0.3, 0.2), QRectF(0.6, 0.5, 0.2, 0.3), QRectF(0, 0.9, 1, 0.1)};
    std::printf("%-12s %12s %14s %14s\n", "picture", "png bytes", "burn ms", "prepare ms");
    for (const QSize size : {QSize(1920, 1080), QSize(2880, 1800), QSize(3840, 2160)}) {
        const QByteArray png = BenchInputs::png(BenchInputs::screenshot(size.width(), size.height(), 7));
        std::optional<QByteArray> burnt;
        const double burn = medianMs(rounds, [&] { burnt = SnapshotRedaction::burn(png, areas); });
        const double prepare = medianMs(rounds, [&] { (void)Feedback::preparedScreenshot(*burnt); });
        std::printf("%4dx%-7d %12lld %14.1f %14.1f\n", size.width(), size.height(),
                    static_cast<long long>(png.size()), burn, prepare);
    }
    return 0;
}
