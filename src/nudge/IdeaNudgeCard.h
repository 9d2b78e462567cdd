#pragma once

#include "morvik_nudge_export.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

// The idea card's state on one screen of the application: each time the screen comes up, a session
// is noted, and 8 seconds later, when the schedule allows it, the card is shown (and counted as
// shown) for 25 seconds. "Share an idea" hides it and asks for the composer sheet; the close button
// counts as a dismissal. A screen left before the card appeared ends the wait without showing it and
// without counting it as shown. Main thread; the layout binds to its properties.
class MORVIK_NUDGE_EXPORT IdeaNudgeCard : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool shown READ shown NOTIFY shownChanged)
    Q_PROPERTY(bool sheetOpen READ sheetOpen NOTIFY sheetOpenChanged)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString line READ line NOTIFY shownChanged)
    // Milliseconds before the card may appear, and on screen; tests shorten them.
    Q_PROPERTY(int appearDelay READ appearDelay WRITE setAppearDelay NOTIFY delaysChanged)
    Q_PROPERTY(int stayTime READ stayTime WRITE setStayTime NOTIFY delaysChanged)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QColor accentInk READ accentInk CONSTANT)

public:
    static constexpr std::chrono::milliseconds defaultAppearDelay{8000};
    static constexpr std::chrono::milliseconds defaultStay{25000};

    explicit IdeaNudgeCard(QObject* parent = nullptr);

    bool shown() const { return shown_; }
    bool sheetOpen() const { return sheetOpen_; }
    QString title() const;
    // The reward wording's settings line, read when the card shows.
    QString line() const;
    // The accent in effect and the ink drawn on it.
    QColor accent() const;
    QColor accentInk() const;

    // Tests shorten the waits and bring their own clock.
    void setDelays(std::chrono::milliseconds appear, std::chrono::milliseconds stay);
    int appearDelay() const { return appear_.interval(); }
    void setAppearDelay(int milliseconds);
    int stayTime() const { return stay_.interval(); }
    void setStayTime(int milliseconds);
    void setClock(std::function<QDateTime()> clock);

    // The screen the card belongs to came up / went away.
    Q_INVOKABLE void appeared();
    Q_INVOKABLE void disappeared();
    // "Share an idea": the card goes, the composer sheet comes.
    Q_INVOKABLE void shareIdea();
    // The close button ("Not now").
    Q_INVOKABLE void dismiss();
    // The sheet was closed.
    Q_INVOKABLE void sheetClosed();

signals:
    void shownChanged();
    void sheetOpenChanged();
    void delaysChanged();

private:
    void setShown(bool shown);
    void appearIfEligible();

    QTimer appear_;
    QTimer stay_;
    std::function<QDateTime()> clock_;
    bool shown_ = false;
    bool sheetOpen_ = false;
};
