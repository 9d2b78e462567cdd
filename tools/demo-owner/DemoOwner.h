#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

class QQuickWindow;

// The demo's owner application: starts the feedback helper as its child, configures it, answers
// its snapshot requests with a picture of its own window, sends the compose command when the user
// asks for it, and shows (and prints) every line the helper writes.
class DemoOwner : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList lines READ lines NOTIFY linesChanged)
    Q_PROPERTY(bool ready READ ready NOTIFY readyChanged)

public:
    struct Settings {
        QString helperPath;
        QString appKey;
        QString ingestKey;
        QString productName;
        QString version;
        QString build;
    };

    explicit DemoOwner(Settings settings, QObject* parent = nullptr);
    ~DemoOwner() override;

    // The window whose picture answers snapshot requests.
    void setWindow(QQuickWindow* window);
    bool start();
    // Closes the helper's standard input, which ends it, and waits for its exit status.
    int stop();

    QStringList lines() const { return lines_; }
    bool ready() const { return ready_; }

    // "Send Feedback…": the compose command.
    Q_INVOKABLE void compose();

Q_SIGNALS:
    void linesChanged();
    void readyChanged();

private:
    void send(const QByteArray& line);
    void readHelper();
    void answerSnapshot(qint64 id);
    void show(const QString& line);

    Settings settings_;
    QProcess helper_;
    QByteArray pending_;
    QStringList lines_;
    bool ready_ = false;
    QQuickWindow* window_ = nullptr;
};
