#include "DemoOwner.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickWindow>

#include <cstdio>
#include <unistd.h>

namespace {

// Lines longer than this are shortened in the window and the terminal (snapshots are long).
constexpr qsizetype shownLength = 150;

QString shortened(const QByteArray& line) {
    QString text = QString::fromUtf8(line);
    if (text.size() > shownLength)
        text = text.left(shownLength - 30) + QStringLiteral("…(%1 characters)").arg(line.size());
    return text;
}

} // namespace

DemoOwner::DemoOwner(Settings settings, QObject* parent)
    : QObject(parent)
    , settings_(std::move(settings)) {
    helper_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&helper_, &QProcess::readyReadStandardOutput, this, &DemoOwner::readHelper);
    connect(&helper_, &QProcess::finished, this,
            [this](int code) { show(QStringLiteral("owner: the helper exited with status %1").arg(code)); });
}

DemoOwner::~DemoOwner() {
    if (helper_.state() != QProcess::NotRunning)
        stop();
}

void DemoOwner::setWindow(QQuickWindow* window) {
    window_ = window;
}

bool DemoOwner::start() {
    helper_.start(settings_.helperPath, {});
    if (!helper_.waitForStarted(10000)) {
        show(QStringLiteral("owner: cannot start %1").arg(settings_.helperPath));
        return false;
    }
    show(QStringLiteral("owner: started the helper, process %1").arg(helper_.processId()));
    const QJsonObject config{{QStringLiteral("appKey"), settings_.appKey},
                             {QStringLiteral("ingestKey"), settings_.ingestKey},
                             {QStringLiteral("productName"), settings_.productName},
                             {QStringLiteral("version"), settings_.version},
                             {QStringLiteral("build"), settings_.build},
                             {QStringLiteral("ownerPID"), qint64(::getpid())}};
    send(QJsonDocument(QJsonObject{{QStringLiteral("config"), config}}).toJson(QJsonDocument::Compact));
    return true;
}

int DemoOwner::stop() {
    helper_.closeWriteChannel();
    if (!helper_.waitForFinished(10000)) {
        helper_.kill();
        helper_.waitForFinished(5000);
        return -1;
    }
    readHelper();
    return helper_.exitCode();
}

void DemoOwner::compose() {
    send(R"({"cmd":"compose"})");
}

void DemoOwner::send(const QByteArray& line) {
    show(QStringLiteral("owner -> helper  ") + shortened(line));
    helper_.write(line + '\n');
}

void DemoOwner::readHelper() {
    pending_ += helper_.readAllStandardOutput();
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        show(QStringLiteral("helper -> owner  ") + shortened(line));
        const QJsonObject message = QJsonDocument::fromJson(line).object();
        if (message.value(QStringLiteral("event")) == QLatin1String("ready") && !ready_) {
            ready_ = true;
            Q_EMIT readyChanged();
        }
        if (message.value(QStringLiteral("want")) == QLatin1String("snapshot"))
            answerSnapshot(message.value(QStringLiteral("id")).toInteger());
    }
}

void DemoOwner::answerSnapshot(qint64 id) {
    QJsonObject answer{{QStringLiteral("id"), id}};
    // A picture of this window as it is drawn now, as PNG.
    const QImage picture = window_ ? window_->grabWindow() : QImage();
    if (!picture.isNull()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        answer.insert(QStringLiteral("snapshot"), QString::fromLatin1(bytes.toBase64()));
    }
    send(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

void DemoOwner::show(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
    lines_.append(line);
    Q_EMIT linesChanged();
}
