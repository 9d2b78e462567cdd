#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// GoogleTest entry for the delivery tests: the preference store (XDG config) and the outbox (XDG data)
// live in a temporary home of their own, set before Qt reads either location.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
