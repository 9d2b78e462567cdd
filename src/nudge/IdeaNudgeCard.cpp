#include "IdeaNudgeCard.h"

#include "Feedback.h"
#include "FeedbackRewards.h"
#include "IdeaNudge.h"

IdeaNudgeCard::IdeaNudgeCard(QObject* parent)
    : QObject(parent)
    , clock_([] { return QDateTime::currentDateTimeUtc(); }) {
    appear_.setSingleShot(true);
    appear_.setInterval(defaultAppearDelay);
    stay_.setSingleShot(true);
    stay_.setInterval(defaultStay);
    connect(&appear_, &QTimer::timeout, this, &IdeaNudgeCard::appearIfEligible);
    // Gone after its time on screen whatever happened meanwhile; dismissing is only the close button.
    connect(&stay_, &QTimer::timeout, this, [this] { setShown(false); });
}

QString IdeaNudgeCard::title() const {
    return tr("Got an idea? It pays.");
}

QString IdeaNudgeCard::line() const {
    return Feedback::rewards().copy.settings_line;
}

QColor IdeaNudgeCard::accent() const {
    return Feedback::effectiveAccentColor();
}

QColor IdeaNudgeCard::accentInk() const {
    return Feedback::accentInk(accent());
}

void IdeaNudgeCard::setDelays(std::chrono::milliseconds appear, std::chrono::milliseconds stay) {
    appear_.setInterval(appear);
    stay_.setInterval(stay);
    Q_EMIT delaysChanged();
}

void IdeaNudgeCard::setAppearDelay(int milliseconds) {
    setDelays(std::chrono::milliseconds(milliseconds), stay_.intervalAsDuration());
}

void IdeaNudgeCard::setStayTime(int milliseconds) {
    setDelays(appear_.intervalAsDuration(), std::chrono::milliseconds(milliseconds));
}

void IdeaNudgeCard::setClock(std::function<QDateTime()> clock) {
    clock_ = std::move(clock);
}

void IdeaNudgeCard::appeared() {
    IdeaNudge::noteSession(clock_());
    appear_.start();
}

void IdeaNudgeCard::disappeared() {
    // Left before the card came: nothing is shown, nothing counted.
    appear_.stop();
}

void IdeaNudgeCard::appearIfEligible() {
    if (!IdeaNudge::eligible(clock_()))
        return;
    IdeaNudge::recordShown(clock_());
    setShown(true);
    stay_.start();
}

void IdeaNudgeCard::shareIdea() {
    setShown(false);
    if (!sheetOpen_) {
        sheetOpen_ = true;
        Q_EMIT sheetOpenChanged();
    }
}

void IdeaNudgeCard::dismiss() {
    if (!shown_)
        return;
    IdeaNudge::recordDismissal(clock_());
    setShown(false);
}

void IdeaNudgeCard::sheetClosed() {
    if (sheetOpen_) {
        sheetOpen_ = false;
        Q_EMIT sheetOpenChanged();
    }
}

void IdeaNudgeCard::setShown(bool shown) {
    if (shown == shown_)
        return;
    shown_ = shown;
    Q_EMIT shownChanged();
}
