#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>

// Plays the owner application in tests: starts the real helper binary with pipes, writes lines to it
// (whole or in chunks), collects every line it writes, waits for messages with time-outs, and can
// answer snapshot requests with real image bytes.
class OwnerDriver : public QObject {
    Q_OBJECT
public:
    using Predicate = std::function<bool(const QJsonObject&)>;
    static constexpr std::chrono::milliseconds defaultWait{10000};

    explicit OwnerDriver(QObject* parent = nullptr);
    ~OwnerDriver() override;

    // Path of the helper binary under test.
    static QString helperPath();

    // Environment for the helper; defaults to this process's environment with tracing turned on.
    QProcessEnvironment& environment() { return environment_; }
    // Also the windows' narration: the composer's (window exposed, shown, closed; report accepted or
    // not) and the banner's (window exposed).
    void narrateComposer();
    // Starts the helper binary under test, or the given copy of it.
    void setProgram(const QString& path) { program_ = path; }
    bool start(const QStringList& arguments = {});

    void writeLine(const QByteArray& line);
    void writeRaw(const QByteArray& bytes);
    // Writes the bytes in pieces of the given sizes (the last piece takes the rest), flushing each so
    // that the helper reads them as separate chunks.
    void writeInChunks(const QByteArray& bytes, const QList<int>& sizes);
    void closeInput();
    // Sends the helper a signal (SIGTERM, SIGINT, ...).
    void signal(int signalNumber);
    // Where the helper's reopen socket lives: a runtime folder private to this driver.
    QString runtimeDirectory() const { return runtimeDir_.path(); }
    QString reopenSocketPath() const;

    // Waits for the first message, at or after `from`, that satisfies the predicate; returns its
    // index in messages() or nothing on time-out.
    std::optional<qsizetype> waitFor(const Predicate& predicate, qsizetype from = 0,
                                     std::chrono::milliseconds timeout = defaultWait);
    std::optional<QJsonObject> waitForMessage(const Predicate& predicate,
                                              std::chrono::milliseconds timeout = defaultWait);
    std::optional<QJsonObject> waitForLog(const QString& contains,
                                          std::chrono::milliseconds timeout = defaultWait);
    std::optional<QJsonObject> waitForSnapshotRequest(std::chrono::milliseconds timeout = defaultWait);
    bool waitForReadyCount(int count, std::chrono::milliseconds timeout = defaultWait);
    // Lets the event loop run for the given time, collecting output.
    void settle(std::chrono::milliseconds duration);

    // When set, every snapshot request is answered at once with these bytes (base64), or without a
    // snapshot key when the optional is empty.
    void answerSnapshotsWith(std::optional<QByteArray> image);
    void answerSnapshot(qint64 id, const std::optional<QByteArray>& image);

    // Exit code once the helper has ended normally, or nothing on time-out or crash.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = defaultWait);

    const QList<QJsonObject>& messages() const { return messages_; }
    const QList<QByteArray>& rawLines() const { return rawLines_; }
    // Lines that were not exactly one compact JSON object.
    const QList<QByteArray>& malformedLines() const { return malformed_; }
    int count(const Predicate& predicate) const;
    QByteArray standardError() const { return stderr_; }
    QProcess& process() { return process_; }

    // A real encoded image: a gradient with some shapes, in the given format ("PNG", "JPEG").
    static QByteArray sampleImage(QSize size = QSize(320, 200), const char* format = "PNG");

    static bool isReady(const QJsonObject& m);
    static bool isSnapshotRequest(const QJsonObject& m);
    static bool isFlushed(const QJsonObject& m);

private:
    void readOutput();
    bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    QTemporaryDir runtimeDir_;
    QString program_ = helperPath();
    QProcess process_;
    QProcessEnvironment environment_;
    QByteArray pending_;
    QByteArray stderr_;
    QList<QByteArray> rawLines_;
    QList<QJsonObject> messages_;
    QList<QByteArray> malformed_;
    bool autoAnswer_ = false;
    std::optional<QByteArray> autoImage_;
};
