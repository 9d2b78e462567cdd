#pragma once

#include "morvik_composer_export.h"

#include <QImage>
#include <QQuickPaintedItem>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// A picture scaled to fill the item (cropped, never stretched) with rounded corners: the snapshot's
// thumbnail in the composer.
class MORVIK_COMPOSER_EXPORT FeedbackThumbnail : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    // QML knows no image type: the picture travels through it as a variant holding a QImage.
    Q_PROPERTY(QVariant image READ imageValue WRITE setImageValue NOTIFY imageChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
    // The picture's own size in pixels (0 x 0 without one), for layouts that fit the item to it.
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY imageChanged)

public:
    explicit FeedbackThumbnail(QQuickItem* parent = nullptr);

    QImage image() const { return image_; }
    void setImage(const QImage& image);
    QVariant imageValue() const { return QVariant::fromValue(image_); }
    // Anything but a QImage clears the picture.
    void setImageValue(const QVariant& image);
    QSize imageSize() const { return image_.size(); }
    qreal radius() const { return radius_; }
    void setRadius(qreal radius);

    // The part of an image of that size that fills a box of the other size, centred.
    static QRectF coverSource(const QSizeF& image, const QSizeF& box);

    void paint(QPainter* painter) override;

Q_SIGNALS:
    void imageChanged();
    void radiusChanged();

private:
    QImage image_;
    qreal radius_ = 0;
};
