#include "FeedbackSymbol.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>
#include <map>

namespace {

// Every symbol is drawn on a 24 x 24 grid, scaled to the item.
constexpr qreal grid = 24;

using Draw = std::function<void(QPainter&, const QColor&)>;

QPen stroke(const QColor& color, qreal width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// Draws with the pen or brush cutting through what is already there.
template <typename F> void cut(QPainter& p, F&& draw) {
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    draw();
    p.restore();
}

void lightbulb(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath bulb;
    bulb.moveTo(8.9, 16.2);
    bulb.cubicTo(8.9, 14.2, 5.0, 12.6, 5.0, 8.9);
    bulb.cubicTo(5.0, 5.0, 8.1, 2.0, 12.0, 2.0);
    bulb.cubicTo(15.9, 2.0, 19.0, 5.0, 19.0, 8.9);
    bulb.cubicTo(19.0, 12.6, 15.1, 14.2, 15.1, 16.2);
    bulb.closeSubpath();
    p.drawPath(bulb);
    p.drawRoundedRect(QRectF(8.9, 17.3, 6.2, 1.9), 0.95, 0.95);
    p.drawRoundedRect(QRectF(9.7, 20.1, 4.6, 1.9), 0.95, 0.95);
}

void ladybug(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 1.5));
    // Legs and feelers.
    p.drawLine(QPointF(4.0, 11.0), QPointF(6.0, 12.0));
    p.drawLine(QPointF(20.0, 11.0), QPointF(18.0, 12.0));
    p.drawLine(QPointF(3.5, 16.0), QPointF(5.5, 16.0));
    p.drawLine(QPointF(20.5, 16.0), QPointF(18.5, 16.0));
    p.drawLine(QPointF(4.5, 21.0), QPointF(6.5, 19.5));
    p.drawLine(QPointF(19.5, 21.0), QPointF(17.5, 19.5));
    p.drawLine(QPointF(10.2, 4.0), QPointF(8.6, 1.8));
    p.drawLine(QPointF(13.8, 4.0), QPointF(15.4, 1.8));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12.0, 6.2), 3.4, 2.9);
    p.drawEllipse(QPointF(12.0, 14.6), 6.6, 7.6);
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 1.3));
        p.drawLine(QPointF(12.0, 7.6), QPointF(12.0, 22.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (const QPointF& dot :
             {QPointF(9.0, 11.6), QPointF(15.0, 11.6), QPointF(8.8, 16.6), QPointF(15.2, 16.6)})
            p.drawEllipse(dot, 1.35, 1.35);
    });
}

void textBubble(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2.5, 3.0, 19.0, 14.5), 4.2, 4.2);
    QPainterPath tail;
    tail.moveTo(6.0, 16.0);
    tail.lineTo(11.5, 16.0);
    tail.lineTo(5.6, 21.6);
    tail.closeSubpath();
    p.drawPath(bubble.united(tail));
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 1.6));
        p.drawLine(QPointF(6.6, 7.6), QPointF(17.4, 7.6));
        p.drawLine(QPointF(6.6, 10.6), QPointF(17.4, 10.6));
        p.drawLine(QPointF(6.6, 13.6), QPointF(13.2, 13.6));
    });
}

void filledCircle(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 12), 10, 10);
}

void xmarkCircle(QPainter& p, const QColor& c) {
    filledCircle(p, c);
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 2.1));
        p.drawLine(QPointF(8.6, 8.6), QPointF(15.4, 15.4));
        p.drawLine(QPointF(15.4, 8.6), QPointF(8.6, 15.4));
    });
}

void xmark(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 2.4));
    p.drawLine(QPointF(6, 6), QPointF(18, 18));
    p.drawLine(QPointF(18, 6), QPointF(6, 18));
}

void envelope(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3.0, 5.5, 18.0, 13.0), 2.2, 2.2);
    QPainterPath fold;
    fold.moveTo(3.8, 6.6);
    fold.lineTo(12.0, 13.0);
    fold.lineTo(20.2, 6.6);
    p.drawPath(fold);
}

void dollarCircle(QPainter& p, const QColor& c) {
    filledCircle(p, c);
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 1.8));
        p.setBrush(Qt::NoBrush);
        // An S from two arcs, and the bar through it.
        QPainterPath s;
        s.moveTo(15.3, 8.9);
        s.cubicTo(14.6, 7.6, 13.4, 7.2, 12.0, 7.2);
        s.cubicTo(10.1, 7.2, 8.8, 8.2, 8.8, 9.6);
        s.cubicTo(8.8, 11.2, 10.4, 11.6, 12.0, 12.0);
        s.cubicTo(13.7, 12.4, 15.3, 12.9, 15.3, 14.5);
        s.cubicTo(15.3, 15.9, 14.0, 16.8, 12.0, 16.8);
        s.cubicTo(10.5, 16.8, 9.2, 16.3, 8.6, 15.0);
        p.drawPath(s);
        p.drawLine(QPointF(12.0, 5.2), QPointF(12.0, 18.8));
    });
}

void wifiExclamation(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 2.0));
    p.setBrush(Qt::NoBrush);
    const QPointF centre(10.0, 18.5);
    for (qreal radius : {4.6, 9.2, 13.8}) {
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        p.drawArc(box, 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(centre, 1.7, 1.7);
    p.setPen(stroke(c, 2.2));
    p.drawLine(QPointF(21.0, 9.0), QPointF(21.0, 15.0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(21.0, 18.6), 1.3, 1.3);
}

QPainterPath seal() {
    // Twelve soft bumps around the centre: tips on the outer radius, rounded valleys between them.
    QPainterPath path;
    constexpr int bumps = 12;
    constexpr qreal outer = 10.8, valley = 7.4;
    for (int i = 0; i <= bumps; ++i) {
        const qreal a = 2 * M_PI * i / bumps - M_PI / 2;
        const qreal mid = a - M_PI / bumps;
        const QPointF tip(12 + outer * qCos(a), 12 + outer * qSin(a));
        if (i == 0)
            path.moveTo(tip);
        else
            path.quadTo(QPointF(12 + valley * qCos(mid), 12 + valley * qSin(mid)), tip);
    }
    path.closeSubpath();
    return path;
}

void checkmarkSeal(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(seal());
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 2.2));
        QPainterPath tick;
        tick.moveTo(8.0, 12.2);
        tick.lineTo(10.9, 15.1);
        tick.lineTo(16.2, 9.2);
        p.drawPath(tick);
    });
}

void checkmark(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 2.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(4.8, 12.8);
    tick.lineTo(9.6, 17.6);
    tick.lineTo(19.4, 6.6);
    p.drawPath(tick);
}

void docOnDoc(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8.0, 2.8, 11.5, 14.5), 2.2, 2.2);
    cut(p, [&] {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(3.6, 5.9, 13.3, 16.3), 3.0, 3.0);
    });
    p.setPen(stroke(c, 1.6));
    p.drawRoundedRect(QRectF(4.5, 6.8, 11.5, 14.5), 2.2, 2.2);
}

void photoBadge(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 4.0, 16.0, 13.0), 2.2, 2.2);
    QPainterPath hills;
    hills.moveTo(3.3, 15.6);
    hills.lineTo(8.0, 10.8);
    hills.lineTo(11.2, 14.0);
    hills.lineTo(13.2, 12.0);
    hills.lineTo(17.6, 16.2);
    p.drawPath(hills);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(13.6, 8.0), 1.4, 1.4);
    cut(p, [&] {
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(18.3, 17.3), 5.6, 5.6);
    });
    p.setBrush(c);
    p.drawEllipse(QPointF(18.3, 17.3), 4.4, 4.4);
    cut(p, [&] {
        p.setPen(stroke(Qt::black, 1.4));
        p.drawLine(QPointF(18.3, 14.9), QPointF(18.3, 17.7));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(18.3, 19.7), 0.85, 0.85);
    });
}

void progressArc(QPainter& p, const QColor& c) {
    p.setPen(stroke(c, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 3.5, 17, 17), 90 * 16, 270 * 16);
}

void cameraViewfinder(QPainter& p, const QColor& c) {
    // The four corners of a viewfinder around a small camera.
    p.setPen(stroke(c, 1.8));
    p.setBrush(Qt::NoBrush);
    const qreal lo = 2.8, hi = 21.2, arm = 5.2;
    for (const QPointF& corner : {QPointF(lo, lo), QPointF(hi, lo), QPointF(lo, hi), QPointF(hi, hi)}) {
        const qreal dx = corner.x() < 12 ? arm : -arm;
        const qreal dy = corner.y() < 12 ? arm : -arm;
        QPainterPath bracket;
        bracket.moveTo(corner.x(), corner.y() + dy);
        bracket.lineTo(corner);
        bracket.lineTo(corner.x() + dx, corner.y());
        p.drawPath(bracket);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(6.6, 8.6, 10.8, 7.8), 1.6, 1.6);
    p.drawRoundedRect(QRectF(9.6, 7.0, 4.8, 2.6), 0.9, 0.9);
    cut(p, [&] {
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(12.0, 12.5), 2.4, 2.4);
    });
    p.drawEllipse(QPointF(12.0, 12.5), 1.2, 1.2);
}

void phoneRadiowaves(QPainter& p, const QColor& c) {
    // A phone between two pairs of waves.
    p.setPen(stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8.4, 3.2, 7.2, 17.6), 1.8, 1.8);
    p.drawLine(QPointF(10.9, 5.4), QPointF(13.1, 5.4));
    for (qreal radius : {4.4, 7.6}) {
        const QRectF box(12 - radius - 2.6, 12 - radius, 2 * radius + 5.2, 2 * radius);
        p.drawArc(box, 145 * 16, 70 * 16);
        p.drawArc(box, -35 * 16, 70 * 16);
    }
}

const std::map<QString, Draw>& symbols() {
    static const std::map<QString, Draw> table{
        {QStringLiteral("lightbulb.fill"), lightbulb},
        {QStringLiteral("ladybug.fill"), ladybug},
        {QStringLiteral("ladybug"), ladybug},
        {QStringLiteral("lightbulb"), lightbulb},
        {QStringLiteral("text.bubble.fill"), textBubble},
        {QStringLiteral("xmark.circle.fill"), xmarkCircle},
        {QStringLiteral("xmark"), xmark},
        {QStringLiteral("envelope"), envelope},
        {QStringLiteral("dollarsign.circle.fill"), dollarCircle},
        {QStringLiteral("wifi.exclamationmark"), wifiExclamation},
        {QStringLiteral("checkmark.seal.fill"), checkmarkSeal},
        {QStringLiteral("checkmark"), checkmark},
        {QStringLiteral("doc.on.doc"), docOnDoc},
        {QStringLiteral("photo.badge.exclamationmark"), photoBadge},
        {QStringLiteral("progress.arc"), progressArc},
        {QStringLiteral("camera.viewfinder"), cameraViewfinder},
        {QStringLiteral("iphone.gen3.radiowaves.left.and.right"), phoneRadiowaves},
    };
    return table;
}

} // namespace

FeedbackSymbol::FeedbackSymbol(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    // Drawn into an image with an alpha channel, so the cut-outs stay transparent.
    setRenderTarget(QQuickPaintedItem::Image);
}

void FeedbackSymbol::setName(const QString& name) {
    if (name == name_)
        return;
    name_ = name;
    Q_EMIT nameChanged();
    update();
}

void FeedbackSymbol::setColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    Q_EMIT colorChanged();
    update();
}

bool FeedbackSymbol::knows(const QString& name) {
    return symbols().count(name) > 0;
}

void FeedbackSymbol::paint(QPainter* painter) {
    const auto found = symbols().find(name_);
    if (found == symbols().end())
        return;
    const qreal side = qMin(width(), height());
    if (side <= 0)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate((width() - side) / 2, (height() - side) / 2);
    painter->scale(side / grid, side / grid);
    found->second(*painter, color_);
    painter->restore();
}
