#include "FeedbackThumbnail.h"

#include <QPainter>
#include <QPainterPath>

FeedbackThumbnail::FeedbackThumbnail(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void FeedbackThumbnail::setImageValue(const QVariant& image) {
    setImage(image.metaType() == QMetaType::fromType<QImage>() ? image.value<QImage>() : QImage());
}

void FeedbackThumbnail::setImage(const QImage& image) {
    image_ = image;
    Q_EMIT imageChanged();
    update();
}

void FeedbackThumbnail::setRadius(qreal radius) {
    if (qFuzzyCompare(radius, radius_))
        return;
    radius_ = radius;
    Q_EMIT radiusChanged();
    update();
}

QRectF FeedbackThumbnail::coverSource(const QSizeF& image, const QSizeF& box) {
    if (image.isEmpty() || box.isEmpty())
        return {};
    const qreal scale = qMax(box.width() / image.width(), box.height() / image.height());
    const QSizeF shown(box.width() / scale, box.height() / scale);
    return QRectF(QPointF((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2), shown);
}

void FeedbackThumbnail::paint(QPainter* painter) {
    if (image_.isNull() || width() <= 0 || height() <= 0)
        return;
    const QRectF target(0, 0, width(), height());
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(target, radius_, radius_);
    painter->setClipPath(clip);
    painter->drawImage(target, image_, coverSource(image_.size(), target.size()));
}
