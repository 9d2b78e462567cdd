#pragma once

#include <QObject>
#include <QString>

// What the example's window asks of the application beyond the feedback components' own QML: the
// composer in a window of its own, and a feature whose outcome is recorded.
class FeedbackLauncher : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)

public:
    using QObject::QObject;

    Q_INVOKABLE void compose();
    // Pretends to export the map: every other try fails. Both outcomes are recorded.
    Q_INVOKABLE void exportMap();
    QString status() const { return status_; }

Q_SIGNALS:
    void statusChanged();

private:
    QString status_;
    int exports_ = 0;
};
