#pragma once

#include <QObject>

// What the example's window asks of the feedback component: open the composer.
class FeedbackLauncher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void compose();
};
