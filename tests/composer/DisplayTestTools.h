#pragma once

#include <QDir>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

// What the tests on a real display share: where their pictures go, xdotool, the helper's log lines.

// The folder for pictures a test saves: $MORVIK_TEST_ARTIFACTS, else the build's folder for them.
inline QString artifactsDir(const QString& buildFolder) {
    const QString dir = qEnvironmentVariableIsSet("MORVIK_TEST_ARTIFACTS")
                            ? qEnvironmentVariable("MORVIK_TEST_ARTIFACTS")
                            : buildFolder;
    QDir().mkpath(dir);
    return dir;
}

// Runs a program to its end; its standard output, trimmed, or nothing when it could not run or failed.
inline std::optional<QString> runProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

inline std::optional<QString> xdotool(const QStringList& arguments) {
    return runProgram(QStringLiteral("xdotool"), arguments);
}

// Whether a message of the helper is the log line with exactly that text.
inline bool isLog(const QJsonObject& message, const QString& text) {
    return message.value(QStringLiteral("log")).toString() == text;
}
