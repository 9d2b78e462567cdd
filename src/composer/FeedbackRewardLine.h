#pragma once

#include "morvik_composer_export.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

// One line with the reward sentence for settings screens: the current wording's settings line, in
// caption size, in the given ink. FeedbackRewardLine.qml draws it.
class MORVIK_COMPOSER_EXPORT FeedbackRewardLine : public QObject {
    Q_OBJECT
    // The QML layout of the same name draws it.
    QML_NAMED_ELEMENT(FeedbackRewardLineModel)
    Q_PROPERTY(QColor ink READ ink WRITE setInk NOTIFY inkChanged)
    Q_PROPERTY(QString text READ text NOTIFY textChanged)

public:
    // No ink means the primary text colour at 75 % opacity.
    explicit FeedbackRewardLine(std::optional<QColor> ink = std::nullopt, QObject* parent = nullptr);

    static QColor defaultInk();

    QColor ink() const { return ink_; }
    void setInk(const QColor& ink);
    // Read from the stored wording on every call.
    QString text() const;
    // Tells the layout to read the text again (it does so whenever it is shown).
    Q_INVOKABLE void refresh();
    // Asks the service for the current wording; the text is read again when the answer is in.
    // Settings screens call it each time they come on screen.
    Q_INVOKABLE void fetch();

Q_SIGNALS:
    void inkChanged();
    void textChanged();

private:
    QColor ink_;
};
