// composer_test_window TITLE [WIDTH HEIGHT]
//
// Another process with one ordinary window, for tests of activation between processes: shows the
// window, asks for the focus, prints "shown PID" once the window is on screen, and ends when its
// standard input closes.

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

class ColourWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(90, 140, 90));
    }
    void exposeEvent(QExposeEvent* event) override {
        QRasterWindow::exposeEvent(event);
        if (isExposed() && !announced_) {
            announced_ = true;
            std::printf("shown %d\n", int(::getpid()));
            std::fflush(stdout);
        }
    }

private:
    bool announced_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    ColourWindow window;
    window.setTitle(args.value(1, QStringLiteral("Test Window")));
    window.resize(args.value(2, QStringLiteral("520")).toInt(), args.value(3, QStringLiteral("360")).toInt());
    window.show();
    window.requestActivate();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (::read(0, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
