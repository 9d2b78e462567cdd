#include "Feedback.h"

#include "FeedbackLogging.h"

#include "PreferenceStore.h"

#include <QGuiApplication>
#include <QMutex>
#include <QPalette>

namespace Feedback {
namespace {

// Everything process-wide sits behind one lock: writes are rare (configuration), reads copy out.
struct State {
    QString appKey;
    QString ingestKey;
    std::optional<QString> productName;
    std::optional<QString> version;
    std::optional<QString> build;
    std::optional<QColor> accentColor = defaultAccentColor();
    std::optional<bool> suppressPrompts;
    bool snapshotAttachedByDefault = true;
    bool snapshotOfferedWhenOff = false;
    std::optional<QString> composerDiagCode;
    std::optional<QString> assignedContactEmail;
    std::optional<QUrl> feedbackServiceURL;
    std::optional<QUrl> accountServiceURL;

    LogHandler logHandler;
    ScreenshotOffersPaused screenshotOffersPaused;
    DiagnosticsUploader diagnosticsUploader;
    DiagnosticsAttachment diagnosticsAttachment;
    BundleExtras bundleExtras;
    AccountToken accountToken;
    AccountTokenRefused accountTokenRefused;
    SnapshotProvider snapshotProvider;
};

QMutex& stateMutex() {
    static QMutex mutex;
    return mutex;
}

State& state() {
    static State s;
    return s;
}

template <typename T> T read(T State::*member) {
    QMutexLocker lock(&stateMutex());
    return state().*member;
}

template <typename T> void write(T State::*member, T value) {
    [[maybe_unused]] T previous;
    {
        QMutexLocker lock(&stateMutex());
        previous = std::exchange(state().*member, std::move(value));
    }
    // `previous` (possibly a hook holding captured state) is destroyed outside the lock.
}

QString computedProductName() {
    if (!QCoreApplication::instance())
        return QStringLiteral("this app");
    const QString display = QGuiApplication::applicationDisplayName();
    if (!display.isEmpty())
        return display;
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("this app") : name;
}

QString computedBuild() {
    if (!QCoreApplication::instance())
        return {};
    const QVariant build = QCoreApplication::instance()->property("build");
    return build.canConvert<QString>() ? build.toString() : QString();
}

// Computes the identity setting on first use, once, under the lock.
QString lazy(std::optional<QString> State::*member, QString (*compute)()) {
    QMutexLocker lock(&stateMutex());
    auto& slot = state().*member;
    if (!slot)
        slot = compute();
    return *slot;
}

QString trimmed(const QString& text) {
    return text.trimmed();
}

QUrl urlFromEnvironment(const char* variable, const char* fallback) {
    const QByteArray value = qgetenv(variable).trimmed();
    const QUrl fromEnvironment(QString::fromUtf8(value));
    return !value.isEmpty() && fromEnvironment.isValid() ? fromEnvironment
                                                         : QUrl(QString::fromLatin1(fallback));
}

QUrl lazyURL(std::optional<QUrl> State::*member, const char* variable, const char* fallback) {
    QMutexLocker lock(&stateMutex());
    auto& slot = state().*member;
    if (!slot)
        slot = urlFromEnvironment(variable, fallback);
    return *slot;
}

} // namespace

QString appKey() {
    return read(&State::appKey);
}
void setAppKey(const QString& value) {
    write(&State::appKey, value);
}
QString ingestKey() {
    return read(&State::ingestKey);
}
void setIngestKey(const QString& value) {
    write(&State::ingestKey, value);
}

QString productName() {
    return lazy(&State::productName, computedProductName);
}
void setProductName(const QString& value) {
    write(&State::productName, std::optional<QString>(value));
}
QString version() {
    return lazy(&State::version, [] { return QCoreApplication::applicationVersion(); });
}
void setVersion(const QString& value) {
    write(&State::version, std::optional<QString>(value));
}
QString build() {
    return lazy(&State::build, computedBuild);
}
void setBuild(const QString& value) {
    write(&State::build, std::optional<QString>(value));
}

QString appVersionText() {
    return QStringLiteral("%1 (%2)").arg(version(), build());
}

QString applicationIdentifier() {
    QString identifier = QGuiApplication::desktopFileName();
    if (identifier.isEmpty())
        identifier = appKey();
    // Before the application has a key: its name, the executable's unless the application set
    // another, so that unrelated applications do not share one folder.
    if (identifier.isEmpty())
        identifier = QCoreApplication::applicationName();
    // One folder name: no separators, never "." or "..".
    identifier.replace(u'/', u'_').replace(u'\\', u'_').remove(QChar(u'\0'));
    if (identifier.isEmpty() || identifier == QLatin1String(".") || identifier == QLatin1String(".."))
        return QStringLiteral("app");
    return identifier;
}

std::optional<QColor> accentColor() {
    return read(&State::accentColor);
}
void setAccentColor(std::optional<QColor> value) {
    write(&State::accentColor, std::move(value));
}
QColor defaultAccentColor() {
    return QColor::fromRgbF(0.784f, 0.659f, 0.447f, 1.0f);
}
QColor effectiveAccentColor() {
    if (const auto configured = accentColor())
        return *configured;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::Highlight);
    return defaultAccentColor();
}

std::optional<bool> suppressPrompts() {
    return read(&State::suppressPrompts);
}
void setSuppressPrompts(std::optional<bool> value) {
    write(&State::suppressPrompts, value);
}
bool snapshotAttachedByDefault() {
    return read(&State::snapshotAttachedByDefault);
}
void setSnapshotAttachedByDefault(bool value) {
    write(&State::snapshotAttachedByDefault, value);
}
bool snapshotOfferedWhenOff() {
    return read(&State::snapshotOfferedWhenOff);
}
void setSnapshotOfferedWhenOff(bool value) {
    write(&State::snapshotOfferedWhenOff, value);
}
bool capturesSnapshot() {
    QMutexLocker lock(&stateMutex());
    return state().snapshotAttachedByDefault || state().snapshotOfferedWhenOff;
}

std::optional<QString> composerDiagCode() {
    return read(&State::composerDiagCode);
}
void setComposerDiagCode(std::optional<QString> value) {
    write(&State::composerDiagCode, std::move(value));
}

QUrl feedbackServiceURL() {
    return lazyURL(&State::feedbackServiceURL, "MORVIK_FEEDBACK_URL", "https://feedback.morvik.dev");
}
void setFeedbackServiceURL(const QUrl& value) {
    write(&State::feedbackServiceURL, std::optional<QUrl>(value));
}
QUrl accountServiceURL() {
    return lazyURL(&State::accountServiceURL, "MORVIK_ACCOUNT_URL", "https://account.morvik.dev");
}
void setAccountServiceURL(const QUrl& value) {
    write(&State::accountServiceURL, std::optional<QUrl>(value));
}

QUrl endpoint(const QUrl& base, const QString& path) {
    QUrl url = base;
    QString joined = url.path();
    while (joined.endsWith(u'/'))
        joined.chop(1);
    url.setPath(joined + path);
    return url;
}

LogHandler logHandler() {
    return read(&State::logHandler);
}
void setLogHandler(LogHandler hook) {
    if (hook)
        FeedbackLogging::forwardToLogHandler();
    write(&State::logHandler, std::move(hook));
}
ScreenshotOffersPaused screenshotOffersPaused() {
    return read(&State::screenshotOffersPaused);
}
void setScreenshotOffersPaused(ScreenshotOffersPaused hook) {
    write(&State::screenshotOffersPaused, std::move(hook));
}
DiagnosticsUploader diagnosticsUploader() {
    return read(&State::diagnosticsUploader);
}
void setDiagnosticsUploader(DiagnosticsUploader hook) {
    write(&State::diagnosticsUploader, std::move(hook));
}
DiagnosticsAttachment diagnosticsAttachment() {
    return read(&State::diagnosticsAttachment);
}
void setDiagnosticsAttachment(DiagnosticsAttachment hook) {
    write(&State::diagnosticsAttachment, std::move(hook));
}
BundleExtras bundleExtras() {
    return read(&State::bundleExtras);
}
void setBundleExtras(BundleExtras hook) {
    write(&State::bundleExtras, std::move(hook));
}
AccountToken accountToken() {
    return read(&State::accountToken);
}
void setAccountToken(AccountToken hook) {
    write(&State::accountToken, std::move(hook));
}
AccountTokenRefused accountTokenRefused() {
    return read(&State::accountTokenRefused);
}
void setAccountTokenRefused(AccountTokenRefused hook) {
    write(&State::accountTokenRefused, std::move(hook));
}
SnapshotProvider snapshotProvider() {
    return read(&State::snapshotProvider);
}
void setSnapshotProvider(SnapshotProvider hook) {
    write(&State::snapshotProvider, std::move(hook));
}

void log(const QString& line) {
    // The handler is copied out so that it runs without the lock: it may log again or be slow.
    if (const LogHandler handler = logHandler())
        handler(line);
}

QStringList contactEmailDefaultsKeys() {
    return {QStringLiteral("velquist.account.email"), QStringLiteral("velquistAccountEmail"),
            QStringLiteral("account.email"), QStringLiteral("signedInEmail")};
}

bool isUsableEmail(const QString& text) {
    const QString t = trimmed(text);
    return t.contains(u'@') && t.contains(u'.') && !t.startsWith(u'@') && !t.contains(u' ');
}

QString contactEmail() {
    if (const auto assigned = read(&State::assignedContactEmail); assigned && !assigned->isEmpty())
        return *assigned;
    return resolveContactEmail();
}

void setContactEmail(const QString& value) {
    write(&State::assignedContactEmail, std::optional<QString>(value));
}

QString resolveContactEmail(PreferenceStore& defaults, const std::optional<QStringList>& keys) {
    // There is no cloud key-value store on this platform, so resolution starts with the local store.
    QStringList order =
        keys.value_or(QStringList{QString::fromLatin1(rememberedContactKey)} + contactEmailDefaultsKeys());
    for (const QString& key : order) {
        const auto stored = defaults.string(key);
        if (stored && isUsableEmail(*stored))
            return trimmed(*stored);
    }
    return {};
}

QString resolveContactEmail() {
    return resolveContactEmail(PreferenceStore::standard());
}

void rememberContact(const QString& email) {
    const QString t = trimmed(email);
    if (!t.contains(u'@') || !t.contains(u'.') || t.contains(u' '))
        return;
    PreferenceStore::standard().setValue(QString::fromLatin1(rememberedContactKey), t);
    setContactEmail(t);
}

QColor accentInk(const QColor& accent) {
    const QColor white = QColor::fromRgbF(1, 1, 1, 1);
    if (!accent.isValid())
        return white;
    const QColor srgb = accent.toRgb();
    const double luminance = 0.2126 * srgb.redF() + 0.7152 * srgb.greenF() + 0.0722 * srgb.blueF();
    return luminance > 0.55 ? QColor::fromRgbF(0.1f, 0.1f, 0.12f, 1.0f) : white;
}

void resetForTests() {
    State fresh;
    QMutexLocker lock(&stateMutex());
    std::swap(state(), fresh);
}

} // namespace Feedback
