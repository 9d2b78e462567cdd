#include <QGuiApplication>
#include <QLocale>

#include <gtest/gtest.h>

// GoogleTest entry for tests that need a Qt application object (event loop, fonts, images).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // English texts whatever the machine's language; tests that want another set their own default.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
