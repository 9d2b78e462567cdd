#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <functional>

// The helper under measurement, played against as its owner: lines in, lines out, every snapshot
// request answered at once with the given picture.
class HelperProcess {
public:
    static constexpr int defaultTimeoutMs = 20000;

    HelperProcess(const QString& program, const QProcessEnvironment& env, QByteArray snapshot)
        : snapshot_(std::move(snapshot)) {
        process_.setProcessEnvironment(env);
        process_.start(program, {});
        process_.waitForStarted();
    }
    ~HelperProcess() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    void write(const QByteArray& line) {
        process_.write(line + '\n');
        process_.waitForBytesWritten();
    }
    // Reads lines until one satisfies the predicate, answering snapshot requests; the event loop turns
    // meanwhile, so that an owner window of the benchmark stays responsive.
    bool waitFor(const std::function<bool(const QJsonObject&)>& done, int timeoutMs = defaultTimeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (process_.canReadLine()) {
                const QJsonObject m = QJsonDocument::fromJson(process_.readLine()).object();
                if (m.value(QStringLiteral("want")) == QLatin1String("snapshot"))
                    write(QJsonDocument(QJsonObject{{QStringLiteral("id"), m.value(QStringLiteral("id"))},
                                                    {QStringLiteral("snapshot"),
                                                     QString::fromLatin1(snapshot_.toBase64())}})
                              .toJson(QJsonDocument::Compact));
                if (done(m))
                    return true;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            process_.waitForReadyRead(5);
        }
        return false;
    }
    bool waitForLog(const QString& text, int timeoutMs = defaultTimeoutMs) {
        return waitFor(
            [&](const QJsonObject& m) { return m.value(QStringLiteral("log")).toString() == text; },
            timeoutMs);
    }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
    QByteArray snapshot_;
};
