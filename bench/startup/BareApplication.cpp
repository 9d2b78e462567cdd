// The baseline: a bare QGuiApplication on the same platform plugin that prints one line and then
// waits for its input to end, like the helper does.
#include <QGuiApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::puts("{\"event\":\"ready\"}");
    std::fflush(stdout);
    QSocketNotifier notifier(0, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [] {
        char buffer[4096];
        if (::read(0, buffer, sizeof buffer) <= 0)
            ::_exit(0);
    });
    return app.exec();
}
