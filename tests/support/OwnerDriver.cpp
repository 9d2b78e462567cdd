#include "OwnerDriver.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QJsonDocument>
#include <QLinearGradient>
#include <QPainter>
#include <QThread>

#include <csignal>

OwnerDriver::OwnerDriver(QObject* parent)
    : QObject(parent)
    , environment_(QProcessEnvironment::systemEnvironment()) {
    // The host's narration of snapshot requests, which tests follow.
    environment_.insert(QStringLiteral("QT_LOGGING_RULES"),
                        QStringLiteral("morvik.feedback.host.debug=true"));
    // A private runtime folder: helpers of parallel tests must not find each other's reopen socket.
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_.path());
    // The helper speaks English here whatever the machine's language; tests that want another set it.
    environment_.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment_.remove(QStringLiteral("LANGUAGE"));
    connect(&process_, &QProcess::readyReadStandardOutput, this, &OwnerDriver::readOutput);
    connect(&process_, &QProcess::readyReadStandardError, this,
            [this] { stderr_.append(process_.readAllStandardError()); });
}

OwnerDriver::~OwnerDriver() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString OwnerDriver::helperPath() {
    return QStringLiteral(MORVIK_HELPER_PATH);
}

void OwnerDriver::narrateComposer() {
    environment_.insert(QStringLiteral("QT_LOGGING_RULES"),
                        QStringLiteral("morvik.feedback.host.debug=true;morvik.feedback.composer.debug=true;"
                                       "morvik.feedback.offers.debug=true"));
}

bool OwnerDriver::start(const QStringList& arguments) {
    process_.setProcessEnvironment(environment_);
    process_.start(program_, arguments);
    return process_.waitForStarted(10000);
}

void OwnerDriver::writeLine(const QByteArray& line) {
    writeRaw(line + '\n');
}

void OwnerDriver::writeRaw(const QByteArray& bytes) {
    process_.write(bytes);
    while (process_.bytesToWrite() > 0 && process_.state() == QProcess::Running)
        process_.waitForBytesWritten(1000);
}

void OwnerDriver::writeInChunks(const QByteArray& bytes, const QList<int>& sizes) {
    qsizetype offset = 0;
    for (qsizetype i = 0; i < sizes.size() && offset < bytes.size(); ++i) {
        const qsizetype size = i + 1 == sizes.size() ? bytes.size() - offset : sizes[i];
        writeRaw(bytes.mid(offset, size));
        offset += size;
        // Give the helper time to read this piece on its own.
        settle(std::chrono::milliseconds(30));
    }
    if (offset < bytes.size())
        writeRaw(bytes.mid(offset));
}

void OwnerDriver::closeInput() {
    process_.closeWriteChannel();
}

void OwnerDriver::signal(int signalNumber) {
    if (process_.state() == QProcess::Running)
        ::kill(pid_t(process_.processId()), signalNumber);
}

QString OwnerDriver::reopenSocketPath() const {
    return runtimeDir_.filePath(QStringLiteral("morvik-feedback-helper.reopen"));
}

void OwnerDriver::readOutput() {
    pending_.append(process_.readAllStandardOutput());
    qsizetype newline;
    while ((newline = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(newline);
        pending_.remove(0, newline + 1);
        rawLines_.append(line);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject() ||
            document.toJson(QJsonDocument::Compact) != line) {
            malformed_.append(line);
            continue;
        }
        const QJsonObject message = document.object();
        messages_.append(message);
        if (autoAnswer_ && isSnapshotRequest(message))
            answerSnapshot(message.value(QStringLiteral("id")).toInteger(), autoImage_);
    }
}

bool OwnerDriver::spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() >= timeout.count())
            return false;
        process_.waitForReadyRead(20);
        readOutput();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

std::optional<qsizetype> OwnerDriver::waitFor(const Predicate& predicate, qsizetype from,
                                              std::chrono::milliseconds timeout) {
    std::optional<qsizetype> found;
    spinUntil(
        [&] {
            for (qsizetype i = from; i < messages_.size(); ++i)
                if (predicate(messages_[i])) {
                    found = i;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

std::optional<QJsonObject> OwnerDriver::waitForMessage(const Predicate& predicate,
                                                       std::chrono::milliseconds timeout) {
    const auto index = waitFor(predicate, 0, timeout);
    return index ? std::optional(messages_[*index]) : std::nullopt;
}

std::optional<QJsonObject> OwnerDriver::waitForLog(const QString& contains,
                                                   std::chrono::milliseconds timeout) {
    return waitForMessage(
        [&](const QJsonObject& m) { return m.value(QStringLiteral("log")).toString().contains(contains); },
        timeout);
}

std::optional<QJsonObject> OwnerDriver::waitForSnapshotRequest(std::chrono::milliseconds timeout) {
    return waitForMessage(isSnapshotRequest, timeout);
}

bool OwnerDriver::waitForReadyCount(int count, std::chrono::milliseconds timeout) {
    return spinUntil([&] { return this->count(isReady) >= count; }, timeout);
}

void OwnerDriver::settle(std::chrono::milliseconds duration) {
    spinUntil([] { return false; }, duration);
}

void OwnerDriver::answerSnapshotsWith(std::optional<QByteArray> image) {
    autoAnswer_ = true;
    autoImage_ = std::move(image);
}

void OwnerDriver::answerSnapshot(qint64 id, const std::optional<QByteArray>& image) {
    QJsonObject answer{{QStringLiteral("id"), id}};
    if (image)
        answer.insert(QStringLiteral("snapshot"), QString::fromLatin1(image->toBase64()));
    writeLine(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

std::optional<int> OwnerDriver::waitForExit(std::chrono::milliseconds timeout) {
    const bool ended = spinUntil([&] { return process_.state() == QProcess::NotRunning; }, timeout);
    readOutput();
    if (!ended || process_.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return process_.exitCode();
}

int OwnerDriver::count(const Predicate& predicate) const {
    return static_cast<int>(std::count_if(messages_.begin(), messages_.end(), predicate));
}

QByteArray OwnerDriver::sampleImage(QSize size, const char* format) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(40, 90, 160));
    gradient.setColorAt(1, QColor(230, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(QRect(size.width() / 8, size.height() / 8, size.width() / 2, size.height() / 3),
                            8, 8);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool OwnerDriver::isReady(const QJsonObject& m) {
    return m.size() == 1 && m.value(QStringLiteral("event")).toString() == QLatin1String("ready");
}

bool OwnerDriver::isFlushed(const QJsonObject& m) {
    return m.value(QStringLiteral("event")).toString() == QLatin1String("flushed");
}

bool OwnerDriver::isSnapshotRequest(const QJsonObject& m) {
    return m.value(QStringLiteral("want")).toString() == QLatin1String("snapshot") &&
           m.value(QStringLiteral("id")).isDouble();
}
