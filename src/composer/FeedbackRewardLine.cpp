#include "FeedbackRewardLine.h"

#include "FeedbackRewards.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPointer>

FeedbackRewardLine::FeedbackRewardLine(std::optional<QColor> ink, QObject* parent)
    : QObject(parent)
    , ink_(ink.value_or(defaultInk())) {}

QColor FeedbackRewardLine::defaultInk() {
    QColor primary = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                         ? QGuiApplication::palette().color(QPalette::WindowText)
                         : QColor(Qt::black);
    primary.setAlphaF(0.75f);
    return primary;
}

void FeedbackRewardLine::setInk(const QColor& ink) {
    if (ink == ink_)
        return;
    ink_ = ink;
    Q_EMIT inkChanged();
}

QString FeedbackRewardLine::text() const {
    return Feedback::rewards().copy.settings_line;
}

void FeedbackRewardLine::refresh() {
    Q_EMIT textChanged();
}

void FeedbackRewardLine::fetch() {
    Feedback::refreshRewards([self = QPointer<FeedbackRewardLine>(this)] {
        if (self)
            self->refresh();
    });
}
