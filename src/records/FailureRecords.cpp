#include "FailureRecords.h"

#include "Feedback.h"
#include "FeedbackRecords.h"
#include "RecordsEngine.h"
#include "RecordsQueue.h"
#include "RecordsStoreFile.h"

#include <QDir>
#include <QStandardPaths>

#include <array>
#include <atomic>

namespace FailureRecords {
namespace {

std::atomic<qint64> debounceMs{defaultDebounce.count()};
std::atomic<qint64> startDelayMs{defaultStartDelay.count()};
std::atomic<qint64> diagnosticsDeadlineMs{defaultDiagnosticsDeadline.count()};
std::atomic<qint64> requestTimeoutMs{defaultRequestTimeout.count()};
std::atomic<NowFunction> clock{nullptr};

constexpr qsizetype maxCodeLength = 60;
constexpr qsizetype maxIDLength = 40;

// The 67 characters a failure code keeps: A-Z a-z 0-9 _ . : / -
constexpr std::array<bool, 128> allowedCode = [] {
    std::array<bool, 128> allowed{};
    for (char c = 'A'; c <= 'Z'; ++c)
        allowed[static_cast<unsigned char>(c)] = true;
    for (char c = 'a'; c <= 'z'; ++c)
        allowed[static_cast<unsigned char>(c)] = true;
    for (char c = '0'; c <= '9'; ++c)
        allowed[static_cast<unsigned char>(c)] = true;
    for (const char c : {'_', '.', ':', '/', '-'})
        allowed[static_cast<unsigned char>(c)] = true;
    return allowed;
}();

std::chrono::milliseconds read(const std::atomic<qint64>& value) {
    return std::chrono::milliseconds(value.load(std::memory_order_relaxed));
}

void write(std::atomic<qint64>& target, std::chrono::milliseconds value) {
    target.store(value.count(), std::memory_order_relaxed);
}

void putDigits(char16_t* at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    }
}

// A copy whose containers share no data with the queue's state. Qt containers share their data until
// one side writes, and the check behind that is not ordered across threads; the caller and the queue
// each get their own.
State unshared(const State& state) {
    State copy;
    copy.pending.reserve(state.pending.size());
    for (const Entry& entry : state.pending)
        copy.pending.append(entry);
    for (auto it = state.journey.cbegin(); it != state.journey.cend(); ++it)
        copy.journey.insert(it.key(), it.value());
    copy.journeySent.reserve(state.journeySent.size());
    for (const QString& step : state.journeySent)
        copy.journeySent.append(step);
    copy.uploadID = state.uploadID;
    copy.sentDay = state.sentDay;
    copy.sentToday = state.sentToday;
    return copy;
}

} // namespace

std::chrono::milliseconds debounce() {
    return read(debounceMs);
}
void setDebounce(std::chrono::milliseconds value) {
    write(debounceMs, value);
}
std::chrono::milliseconds startDelay() {
    return read(startDelayMs);
}
void setStartDelay(std::chrono::milliseconds value) {
    write(startDelayMs, value);
}
std::chrono::milliseconds diagnosticsDeadline() {
    return read(diagnosticsDeadlineMs);
}
void setDiagnosticsDeadline(std::chrono::milliseconds value) {
    write(diagnosticsDeadlineMs, value);
}
std::chrono::milliseconds requestTimeout() {
    return read(requestTimeoutMs);
}
void setRequestTimeout(std::chrono::milliseconds value) {
    write(requestTimeoutMs, value);
}

Time now() {
    const NowFunction injected = clock.load(std::memory_order_acquire);
    return injected ? injected() : Clock::now();
}

void setClock(NowFunction function) {
    clock.store(function, std::memory_order_release);
}

// --- Store file ------------------------------------------------------------------------------------

std::optional<QString> defaultStoreURL() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return std::nullopt;
    return QDir(data).filePath(Feedback::applicationIdentifier() +
                               QStringLiteral("/DovarureVuz/records.json"));
}

std::optional<QString> storeURL() {
    return RecordsQueue::shared().sync([] { return RecordsEngine::onQueue().storeURL(); });
}

void setStoreURL(std::optional<QString> path) {
    RecordsQueue::shared().sync([&path] { RecordsEngine::onQueue().setStoreURL(std::move(path)); });
}

quint64 storeWriteCount() {
    return RecordsStoreFile::writeCount();
}

// --- Cleaning --------------------------------------------------------------------------------------

QString sanitize(const QString& text) {
    // QChar::isSpace is exactly the white space that makes a reason free text: the space separators,
    // tab, U+000A to U+000D, U+0085, U+2028 and U+2029.
    for (const QChar c : text)
        if (c.isSpace())
            return QStringLiteral("unspecified");
    QString kept;
    for (const QChar c : text) {
        if (kept.size() == maxCodeLength)
            break;
        const char16_t unit = c.unicode();
        if (unit < 128 && allowedCode[unit])
            kept.append(c);
    }
    return kept.isEmpty() ? QStringLiteral("none") : kept;
}

QString sanitizeID(const QString& text) {
    const qsizetype length = text.size();
    bool valid = length >= 1 && length <= maxIDLength;
    for (qsizetype i = 0; valid && i < length; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool lower = c >= u'a' && c <= u'z';
        valid = i == 0 ? lower : lower || (c >= u'0' && c <= u'9') || c == u'_';
    }
    return valid ? text : QStringLiteral("other");
}

QString code(const std::optional<RecordedError>& error) {
    if (!error)
        return QStringLiteral("none");
    return sanitize(error->domain + u'.' + QString::number(error->code));
}

QString iso(Time time) {
    using namespace std::chrono;
    // Whole seconds, kept within the years 0000 to 9999 so the text always has its 20 characters.
    constexpr sys_seconds earliest = sys_days(year(0) / January / 1);
    constexpr sys_seconds latest =
        sys_days(year(9999) / December / 31) + hours(23) + minutes(59) + seconds(59);
    const sys_seconds whole = std::clamp(floor<seconds>(time), earliest, latest);
    const sys_days day = floor<days>(whole);
    const year_month_day date(day);
    const hh_mm_ss clockTime(whole - day);

    char16_t text[20] = {u'0', u'0', u'0', u'0', u'-', u'0', u'0', u'-', u'0', u'0',
                         u'T', u'0', u'0', u':', u'0', u'0', u':', u'0', u'0', u'Z'};
    putDigits(text, static_cast<int>(date.year()), 4);
    putDigits(text + 5, static_cast<int>(static_cast<unsigned>(date.month())), 2);
    putDigits(text + 8, static_cast<int>(static_cast<unsigned>(date.day())), 2);
    putDigits(text + 11, static_cast<int>(clockTime.hours().count()), 2);
    putDigits(text + 14, static_cast<int>(clockTime.minutes().count()), 2);
    putDigits(text + 17, static_cast<int>(clockTime.seconds().count()), 2);
    return QString(reinterpret_cast<const QChar*>(text), 20);
}

// --- Recording -------------------------------------------------------------------------------------

void record(const QString& event, const QString& feature, const std::optional<QString>& account, qint64 count,
            const QString& code, Time now) {
    if (!Feedback::recordsEnabled())
        return;
    RecordsEngine::Failure failure{iso(now),
                                   sanitizeID(event),
                                   sanitizeID(feature),
                                   account ? std::optional<QString>(sanitizeID(*account)) : std::nullopt,
                                   count < 2 ? 1 : std::min(count, maxCount),
                                   code};
    RecordsQueue::shared().post([failure = std::move(failure)] { RecordsEngine::onQueue().record(failure); });
}

void step(JourneyStep step, const std::optional<QString>& feature, Time now) {
    if (!Feedback::recordsEnabled())
        return;
    RecordsQueue::shared().post([step, feature, now] { RecordsEngine::onQueue().step(step, feature, now); });
}

void start(Time now) {
    if (!Feedback::recordsEnabled())
        return;
    RecordsQueue::shared().post([now] { RecordsEngine::onQueue().start(now); });
}

State snapshot() {
    return RecordsQueue::shared().sync([] { return unshared(RecordsEngine::onQueue().refresh()); });
}

bool flush() {
    return RecordsQueue::shared().sync([] { return RecordsEngine::onQueue().save(); });
}

void resetForTests() {
    RecordsQueue::shared().sync([] { RecordsEngine::onQueue().reset(); });
}

std::optional<QString> sessionBundle() {
    return RecordsQueue::shared().sync([] { return RecordsEngine::onQueue().sessionBundle; });
}

void setSessionBundle(std::optional<QString> code) {
    RecordsQueue::shared().sync([&code] { RecordsEngine::onQueue().sessionBundle = std::move(code); });
}

bool sessionBundleTried() {
    return RecordsQueue::shared().sync([] { return RecordsEngine::onQueue().sessionBundleTried; });
}

void setSessionBundleTried(bool tried) {
    RecordsQueue::shared().sync([tried] { RecordsEngine::onQueue().sessionBundleTried = tried; });
}

} // namespace FailureRecords
