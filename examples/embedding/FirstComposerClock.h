#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>

class QQuickItem;
class QQuickWindow;

// Measures, in this process, the time from a click that opens the first composer to that composer on
// screen: "window" clicks "Send Feedback… (window)" and stops at the composer window's exposure and
// first frame (the composer's own "window exposed" and "window shown" lines); "sheet" clicks the
// settings section's "Share an idea" and stops at the first frame of the page that shows the sheet's
// composer. Prints one line and quits the application.
class FirstComposerClock : public QObject {
    Q_OBJECT

public:
    explicit FirstComposerClock(QString mode);
    ~FirstComposerClock() override;

    // Clicks once the page has drawn its first frame; false for an unknown mode.
    bool start(QQuickWindow* page);

private Q_SLOTS:
    // A line of the composer's log, handed over from the message handler.
    void composerLine(const QString& line);

private:
    void click();
    void pageFrame();
    void finish(bool measured);

    QString mode_;
    QQuickWindow* page_ = nullptr;
    QElapsedTimer sinceClick_;
    bool clicked_ = false;
    std::optional<double> exposedMs_;
    bool finished_ = false;
};
