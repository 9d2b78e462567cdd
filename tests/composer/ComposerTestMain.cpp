#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// GoogleTest entry for the composer's tests: a Qt application whose preferences, data and runtime
// files live in a temporary directory of their own, so that tests never see the user's files or each
// other's. With a display the real xcb platform is used; without one, the offscreen platform.
int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/morvik-composer-test-XXXXXX"));
    if (!home.isValid())
        return 1;
    for (const char* name : {"config", "data", "runtime"}) {
        const QString path = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("runtime")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");

    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvik-composer-test"));
    // English texts whatever the machine's language; tests that want another set their own default.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
