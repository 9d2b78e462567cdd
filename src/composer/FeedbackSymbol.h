#pragma once

#include "morvik_composer_export.h"

#include <QColor>
#include <QQuickPaintedItem>
#include <QString>
#include <QtQml/qqmlregistration.h>

// A symbol of the composer drawn as vector shapes in one colour, named as the views name them
// ("lightbulb.fill", "xmark.circle.fill", "checkmark.seal.fill", "camera.viewfinder", ...). Parts that cut
// through a filled shape (the mark in a filled circle, the dots of the ladybug) are transparent, so the
// symbol works on any background. An unknown name draws nothing.
class MORVIK_COMPOSER_EXPORT FeedbackSymbol : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

public:
    explicit FeedbackSymbol(QQuickItem* parent = nullptr);

    QString name() const { return name_; }
    void setName(const QString& name);
    QColor color() const { return color_; }
    void setColor(const QColor& color);

    // Whether a name is one this item can draw.
    static bool knows(const QString& name);

    void paint(QPainter* painter) override;

Q_SIGNALS:
    void nameChanged();
    void colorChanged();

private:
    QString name_;
    QColor color_ = Qt::black;
};
