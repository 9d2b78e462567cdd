#pragma once

#include "morvik_composer_export.h"

#include <QObject>
#include <QPointer>
#include <QQmlProperty>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// A read-write reference to a value the application owns: a plain property of one of its objects,
// followed through that property's change signal. The feedback components read the application's
// value through it and write into it with write(), which changes the application's property itself;
// no property of the component is assigned, so no binding the application made on the component
// breaks.
//
//   property int feedbackIntent: -1
//   FeedbackSheetItemPresenter { item: FeedbackBinding { target: page; property: "feedbackIntent" } }
class MORVIK_COMPOSER_EXPORT FeedbackBinding : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QString property READ propertyName WRITE setPropertyName NOTIFY targetChanged)
    // The application's value; undefined while the reference leads nowhere.
    Q_PROPERTY(QVariant value READ value NOTIFY valueChanged)
    // Whether the value is an intent (FeedbackView.Idea, Bug or Praise); anything else is none.
    Q_PROPERTY(bool hasIntent READ hasIntent NOTIFY valueChanged)
    Q_PROPERTY(int intent READ intent NOTIFY valueChanged)

public:
    explicit FeedbackBinding(QObject* parent = nullptr);

    QObject* target() const { return target_; }
    void setTarget(QObject* target);
    QString propertyName() const { return name_; }
    void setPropertyName(const QString& name);

    QVariant value() const;
    bool hasIntent() const;
    // The intent held, -1 for none.
    int intent() const;
    // Whether a value read through the reference is one of the three intents.
    static bool isIntent(const QVariant& value);

    // Writes into the application's property; false when there is none or it refused the value.
    Q_INVOKABLE bool write(const QVariant& value);
    // Writes "no intent": -1 into a numeric property, undefined into any other.
    Q_INVOKABLE bool writeNone();

Q_SIGNALS:
    void targetChanged();
    void valueChanged();

private:
    void follow();

    QPointer<QObject> target_;
    QString name_;
    QQmlProperty property_;
};
