#include "NamedProcess.h"

#include <QFile>
#include <QStandardPaths>

NamedProcess::NamedProcess(const QString& executableName)
    : executable_(folder_.filePath(executableName)) {
    const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    if (sleep.isEmpty() || !QFile::copy(sleep, executable_))
        return;
    QFile::setPermissions(executable_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    process_.setProgram(executable_);
    process_.setArguments({QStringLiteral("600")});
    process_.start();
    process_.waitForStarted();
}

NamedProcess::~NamedProcess() {
    stop();
}

void NamedProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished();
}
