#include "FeedbackBinding.h"

#include "FeedbackView.h"

#include <QMetaType>

FeedbackBinding::FeedbackBinding(QObject* parent)
    : QObject(parent) {}

void FeedbackBinding::setTarget(QObject* target) {
    if (target_ == target)
        return;
    target_ = target;
    follow();
}

void FeedbackBinding::setPropertyName(const QString& name) {
    if (name_ == name)
        return;
    name_ = name;
    follow();
}

void FeedbackBinding::follow() {
    if (property_.isValid() && property_.object())
        QObject::disconnect(property_.object(), nullptr, this, nullptr);
    property_ = QQmlProperty();
    if (target_ && !name_.isEmpty()) {
        property_ = QQmlProperty(target_, name_);
        if (property_.isValid())
            property_.connectNotifySignal(this, SIGNAL(valueChanged()));
        // A target that goes away leaves a reference to nothing.
        connect(target_, &QObject::destroyed, this, [this] {
            property_ = QQmlProperty();
            Q_EMIT valueChanged();
        });
    }
    Q_EMIT targetChanged();
    Q_EMIT valueChanged();
}

QVariant FeedbackBinding::value() const {
    if (!property_.isValid() || !target_)
        return {};
    return property_.read();
}

bool FeedbackBinding::isIntent(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return false;
    bool ok = false;
    const int index = value.toInt(&ok);
    return ok && index >= FeedbackView::Idea && index <= FeedbackView::Praise;
}

bool FeedbackBinding::hasIntent() const {
    return isIntent(value());
}

int FeedbackBinding::intent() const {
    const QVariant held = value();
    return isIntent(held) ? held.toInt() : -1;
}

bool FeedbackBinding::write(const QVariant& value) {
    if (!property_.isValid() || !target_ || !property_.isWritable())
        return false;
    return property_.write(value);
}

bool FeedbackBinding::writeNone() {
    if (!property_.isValid())
        return false;
    switch (property_.propertyMetaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return write(-1);
    default:
        return write(QVariant());
    }
}
