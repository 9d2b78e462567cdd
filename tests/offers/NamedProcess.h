#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>

// A real process whose executable has the given file name: a copy of sleep(1) in a private folder,
// started to wait for ten minutes and killed when the object goes.
class NamedProcess {
public:
    explicit NamedProcess(const QString& executableName);
    ~NamedProcess();
    NamedProcess(const NamedProcess&) = delete;
    NamedProcess& operator=(const NamedProcess&) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running; }
    std::int32_t pid() const { return std::int32_t(process_.processId()); }
    QString executablePath() const { return executable_; }
    // Ends the process and waits for it, so that it is gone from /proc.
    void stop();

private:
    QTemporaryDir folder_;
    QString executable_;
    QProcess process_;
};
