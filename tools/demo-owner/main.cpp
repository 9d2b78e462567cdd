// morvik-demo-owner --helper PATH [--app-key KEY] [--ingest-key KEY] [--product NAME]
//
// A small Qt application that plays the owner of the feedback helper for the demo: a sketch-like
// window with a "Send Feedback…" button and the helper's lines beside it. Every line exchanged with
// the helper is printed too. Closing the window ends the helper.

#include "DemoOwner.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("morvik-demo-owner"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption helper(QStringLiteral("helper"), QStringLiteral("The feedback helper binary."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption appKey(QStringLiteral("app-key"), QStringLiteral("Application key."),
                                    QStringLiteral("KEY"), QStringLiteral("demo-app"));
    const QCommandLineOption ingestKey(QStringLiteral("ingest-key"), QStringLiteral("Ingest key."),
                                       QStringLiteral("KEY"), QStringLiteral("demo-ingest-key"));
    const QCommandLineOption product(QStringLiteral("product"), QStringLiteral("Product name."),
                                     QStringLiteral("NAME"), QStringLiteral("Sketchpad"));
    parser.addOptions({helper, appKey, ingestKey, product});
    parser.process(app);
    if (!parser.isSet(helper)) {
        std::fprintf(stderr, "morvik-demo-owner: --helper is needed\n");
        return 2;
    }

    DemoOwner owner({parser.value(helper), parser.value(appKey), parser.value(ingestKey),
                     parser.value(product), QStringLiteral("2.1"), QStringLiteral("417")});
    QQuickView window;
    window.setTitle(QStringLiteral("Sketchpad — Demo Owner"));
    window.setResizeMode(QQuickView::SizeRootObjectToView);
    window.setInitialProperties({{QStringLiteral("owner"), QVariant::fromValue(&owner)}});
    window.setSource(QUrl(QStringLiteral("qrc:/morvik/demo-owner/DemoOwnerWindow.qml")));
    if (window.status() == QQuickView::Error)
        return 1;
    owner.setWindow(&window);
    window.resize(1040, 640);
    window.show();
    if (!owner.start())
        return 1;
    QObject::connect(&window, &QWindow::visibleChanged, &app, [&](bool visible) {
        if (!visible)
            app.quit();
    });
    app.exec();
    const int status = owner.stop();
    std::printf("owner: the helper exited with status %d\n", status);
    return status == 0 ? 0 : 1;
}
