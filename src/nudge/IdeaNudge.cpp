#include "IdeaNudge.h"

#include "Feedback.h"
#include "FeedbackReport.h"
#include "FileLock.h"
#include "PreferenceStore.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <atomic>
#include <cmath>
#include <limits>

namespace IdeaNudge {
namespace {

std::atomic<PreferenceStore*> chosenStore = nullptr;

// Every report the service accepts quiets the card for a while and counts the dismissals from zero:
// an application that links the nudge has its accepted reports recorded, whichever way it sends them.
const bool submissionsRecorded = [] {
    Feedback::setSubmissionRecorder([](const QDateTime& acceptedAt) { recordSubmission(acceptedAt); });
    return true;
}();

double seconds(const QDateTime& now) {
    return double(now.toMSecsSinceEpoch()) / 1000.0;
}

double numberFrom(const QVariant& value) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0;
}

// Holds the store's lock file for one read-modify-write, with the other processes' values read in
// first. Without a lock file (an unwritable folder) the change is still made: losing a count is
// better than losing the change.
class Change {
public:
    Change()
        : lock_(FileLock::acquire(defaults().fileName() + QStringLiteral(".nudge.lock"),
                                  std::chrono::milliseconds(500))) {
        defaults().sync();
    }
    ~Change() { defaults().sync(); }

private:
    FileLock lock_;
};

bool off() {
    const QVariant value = defaults().value(prefix() + QStringLiteral("off"));
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toString() == QLatin1String("true");
}

} // namespace

PreferenceStore& defaults() {
    PreferenceStore* store = chosenStore.load();
    return store ? *store : PreferenceStore::standard();
}

void setDefaults(PreferenceStore* store) {
    chosenStore.store(store);
}

QString prefix() {
    return QStringLiteral("velquist.fbnudge.") + Feedback::appKey() + QLatin1Char('.');
}

double get(const QString& key) {
    return numberFrom(defaults().value(prefix() + key));
}

void set(const QString& key, double value) {
    defaults().setValue(prefix() + key, value);
}

QList<double> shownAt() {
    // Stored as JSON text: the store keeps lists as JSON.
    const QJsonDocument document =
        QJsonDocument::fromJson(defaults().value(prefix() + QStringLiteral("shownAt")).toByteArray());
    if (!document.isArray())
        return {};
    QList<double> times;
    for (const QJsonValue& entry : document.array()) {
        if (!entry.isDouble() || !std::isfinite(entry.toDouble()))
            return {};
        times.append(entry.toDouble());
    }
    return times;
}

void setShownAt(const QList<double>& times) {
    QJsonArray kept;
    for (qsizetype i = std::max<qsizetype>(0, times.size() - storedShows); i < times.size(); ++i)
        kept.append(times[i]);
    defaults().setValue(prefix() + QStringLiteral("shownAt"),
                        QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact)));
}

int noteSession(const QDateTime& now) {
    const double t = seconds(now);
    Change change;
    if (get(QStringLiteral("firstSeen")) == 0)
        set(QStringLiteral("firstSeen"), t);
    if (t - get(QStringLiteral("lastSession")) > sessionGap) {
        set(QStringLiteral("sessions"), get(QStringLiteral("sessions")) + 1);
        set(QStringLiteral("lastSession"), t);
    }
    // A damaged count outside the integer range is held at its edge rather than overflowing.
    const double sessions = get(QStringLiteral("sessions"));
    return int(std::clamp(sessions, double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}

bool eligible(const QDateTime& now) {
    const double t = seconds(now);
    defaults().sync();
    if (off())
        return false;
    const double sessions = get(QStringLiteral("sessions"));
    if (sessions < minimumSessions)
        return false;
    if (t - get(QStringLiteral("firstSeen")) < minimumAge)
        return false;
    if (const double lastSubmit = get(QStringLiteral("lastSubmitAt"));
        lastSubmit > 0 && t - lastSubmit < quietAfterReport)
        return false;
    if (const double lastDismiss = get(QStringLiteral("lastDismissAt"));
        lastDismiss > 0 && t - lastDismiss < quietAfterDismissal)
        return false;
    QList<double> recent;
    for (double shown : shownAt())
        if (t - shown < showWindow)
            recent.append(shown);
    if (recent.size() >= showsPerWindow)
        return false;
    if (recent.isEmpty())
        return true;
    if (t - recent.last() < quietAfterDismissal)
        return false;
    return recent.size() == 1 ? sessions >= sessionsBeforeSecondShow : true;
}

void recordShown(const QDateTime& now) {
    Change change;
    QList<double> times = shownAt();
    times.append(seconds(now));
    setShownAt(times);
}

void recordDismissal(const QDateTime& now) {
    Change change;
    set(QStringLiteral("lastDismissAt"), seconds(now));
    set(QStringLiteral("dismissals"), get(QStringLiteral("dismissals")) + 1);
    if (get(QStringLiteral("dismissals")) >= dismissalsUntilOff)
        defaults().setValue(prefix() + QStringLiteral("off"), true);
}

void recordSubmission(const QDateTime& now) {
    Change change;
    set(QStringLiteral("lastSubmitAt"), seconds(now));
    set(QStringLiteral("dismissals"), 0);
}

} // namespace IdeaNudge
