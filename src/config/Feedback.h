#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class PreferenceStore;

// Process-wide settings and hooks that every subsystem reads. The main thread (or the embedding
// application at start-up) writes them; any thread may read them. Every accessor is guarded, so a read
// never observes a half-written value.
namespace Feedback {

// A completion that may be called on any thread; only its first call counts.
template <typename T> using Completion = std::function<void(T)>;

using LogHandler = std::function<void(const QString& line)>;
using ScreenshotOffersPaused = std::function<std::optional<QString>()>;
using DiagnosticsUploader = std::function<void(const QString& reason, Completion<std::optional<QString>>)>;
using DiagnosticsAttachment = std::function<std::optional<QString>()>;
using BundleExtras = std::function<QVariantMap()>;
using AccountToken = std::function<void(Completion<std::optional<QString>>)>;
using AccountTokenRefused = std::function<void()>;
using SnapshotProvider = std::function<void(Completion<std::optional<QByteArray>>)>;

// --- Settings -------------------------------------------------------------------------------------
QString appKey();
void setAppKey(const QString& value);

QString ingestKey();
void setIngestKey(const QString& value);

// The three identity settings are computed from the application's identity on first access (display
// name, else application name, else "this app"; application version; the application's "build"
// property). A value written later replaces the computed one.
QString productName();
void setProductName(const QString& value);
QString version();
void setVersion(const QString& value);
QString build();
void setBuild(const QString& value);

// "{version} ({build})", as sent in reports and in the X-App-Version header.
QString appVersionText();

// The identifier that names this application's own files and folders: the desktop file name when the
// application set one, else the application key, else the application name (the executable's unless
// the application set another), as one folder name ("/" and the backslash become "_"); "app" only when none
// of them gives a name.
QString applicationIdentifier();

// Absent means: use the platform's accent colour.
std::optional<QColor> accentColor();
void setAccentColor(std::optional<QColor> value);
QColor defaultAccentColor();
// The accent colour in effect: the configured one, else the palette's highlight colour.
QColor effectiveAccentColor();

std::optional<bool> suppressPrompts();
void setSuppressPrompts(std::optional<bool> value);

bool snapshotAttachedByDefault();
void setSnapshotAttachedByDefault(bool value);
bool snapshotOfferedWhenOff();
void setSnapshotOfferedWhenOff(bool value);
bool capturesSnapshot();

std::optional<QString> composerDiagCode();
void setComposerDiagCode(std::optional<QString> value);

// Base URLs of the feedback service and of the account service. Defaults are https; the environment
// variables MORVIK_FEEDBACK_URL and MORVIK_ACCOUNT_URL override them, and code may set them.
QUrl feedbackServiceURL();
void setFeedbackServiceURL(const QUrl& value);
QUrl accountServiceURL();
void setAccountServiceURL(const QUrl& value);
// The base URL with the path appended ("/report" on "http://h:1/base" gives "http://h:1/base/report").
QUrl endpoint(const QUrl& base, const QString& path);

// --- Hooks (absent by default) ---------------------------------------------------------------------
LogHandler logHandler();
void setLogHandler(LogHandler hook);
ScreenshotOffersPaused screenshotOffersPaused();
void setScreenshotOffersPaused(ScreenshotOffersPaused hook);
DiagnosticsUploader diagnosticsUploader();
void setDiagnosticsUploader(DiagnosticsUploader hook);
DiagnosticsAttachment diagnosticsAttachment();
void setDiagnosticsAttachment(DiagnosticsAttachment hook);
BundleExtras bundleExtras();
void setBundleExtras(BundleExtras hook);
AccountToken accountToken();
void setAccountToken(AccountToken hook);
AccountTokenRefused accountTokenRefused();
void setAccountTokenRefused(AccountTokenRefused hook);
SnapshotProvider snapshotProvider();
void setSnapshotProvider(SnapshotProvider hook);

// The one log sink: calls the log handler on the caller's thread, or drops the line without one.
void log(const QString& line);

// --- Contact e-mail ---------------------------------------------------------------------------------
inline constexpr const char* rememberedContactKey = "feedback.contact.email";
QStringList contactEmailDefaultsKeys();

// The assigned address when it is not empty, else the resolved one.
QString contactEmail();
void setContactEmail(const QString& value);
// The first usable address stored under the keys (default: the remembered key, then the defaults
// keys), trimmed; "" when none is usable.
QString resolveContactEmail(PreferenceStore& defaults, const std::optional<QStringList>& keys = std::nullopt);
QString resolveContactEmail();
// Stores an address that looks like one (has "@" and ".", no space) and makes it the assigned one.
void rememberContact(const QString& email);
bool isUsableEmail(const QString& text);

// --- Colours ------------------------------------------------------------------------------------
// The colour for text and symbols drawn on top of the given accent fill.
QColor accentInk(const QColor& accent);

// Restores every setting and hook to its initial value (for tests).
void resetForTests();

} // namespace Feedback
