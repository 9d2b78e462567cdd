#pragma once

#include "morvik_config_export.h"

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
MORVIK_CONFIG_EXPORT QString appKey();
MORVIK_CONFIG_EXPORT void setAppKey(const QString& value);

MORVIK_CONFIG_EXPORT QString ingestKey();
MORVIK_CONFIG_EXPORT void setIngestKey(const QString& value);

// The three identity settings are computed from the application's identity on first access (display
// name, else application name, else "this app"; application version; the application's "build"
// property). A value written later replaces the computed one.
MORVIK_CONFIG_EXPORT QString productName();
MORVIK_CONFIG_EXPORT void setProductName(const QString& value);
MORVIK_CONFIG_EXPORT QString version();
MORVIK_CONFIG_EXPORT void setVersion(const QString& value);
MORVIK_CONFIG_EXPORT QString build();
MORVIK_CONFIG_EXPORT void setBuild(const QString& value);

// "{version} ({build})", as sent in reports and in the X-App-Version header.
MORVIK_CONFIG_EXPORT QString appVersionText();

// The identifier that names this application's own files and folders: the desktop file name when the
// application set one, else the application key, else the application name (the executable's unless
// the application set another), as one folder name ("/" and the backslash become "_"); "app" only when none
// of them gives a name.
MORVIK_CONFIG_EXPORT QString applicationIdentifier();

// Absent means: use the platform's accent colour.
MORVIK_CONFIG_EXPORT std::optional<QColor> accentColor();
MORVIK_CONFIG_EXPORT void setAccentColor(std::optional<QColor> value);
MORVIK_CONFIG_EXPORT QColor defaultAccentColor();
// The accent colour in effect: the configured one, else the palette's highlight colour.
MORVIK_CONFIG_EXPORT QColor effectiveAccentColor();

MORVIK_CONFIG_EXPORT std::optional<bool> suppressPrompts();
MORVIK_CONFIG_EXPORT void setSuppressPrompts(std::optional<bool> value);

MORVIK_CONFIG_EXPORT bool snapshotAttachedByDefault();
MORVIK_CONFIG_EXPORT void setSnapshotAttachedByDefault(bool value);
MORVIK_CONFIG_EXPORT bool snapshotOfferedWhenOff();
MORVIK_CONFIG_EXPORT void setSnapshotOfferedWhenOff(bool value);
MORVIK_CONFIG_EXPORT bool capturesSnapshot();

MORVIK_CONFIG_EXPORT std::optional<QString> composerDiagCode();
MORVIK_CONFIG_EXPORT void setComposerDiagCode(std::optional<QString> value);

// Base URLs of the feedback service and of the account service. Defaults are https; the environment
// variables MORVIK_FEEDBACK_URL and MORVIK_ACCOUNT_URL override them, and code may set them.
MORVIK_CONFIG_EXPORT QUrl feedbackServiceURL();
MORVIK_CONFIG_EXPORT void setFeedbackServiceURL(const QUrl& value);
MORVIK_CONFIG_EXPORT QUrl accountServiceURL();
MORVIK_CONFIG_EXPORT void setAccountServiceURL(const QUrl& value);
// The base URL with the path appended ("/report" on "http://h:1/base" gives "http://h:1/base/report").
MORVIK_CONFIG_EXPORT QUrl endpoint(const QUrl& base, const QString& path);

// --- Hooks (absent by default) ---------------------------------------------------------------------
MORVIK_CONFIG_EXPORT LogHandler logHandler();
MORVIK_CONFIG_EXPORT void setLogHandler(LogHandler hook);
MORVIK_CONFIG_EXPORT ScreenshotOffersPaused screenshotOffersPaused();
MORVIK_CONFIG_EXPORT void setScreenshotOffersPaused(ScreenshotOffersPaused hook);
MORVIK_CONFIG_EXPORT DiagnosticsUploader diagnosticsUploader();
MORVIK_CONFIG_EXPORT void setDiagnosticsUploader(DiagnosticsUploader hook);
MORVIK_CONFIG_EXPORT DiagnosticsAttachment diagnosticsAttachment();
MORVIK_CONFIG_EXPORT void setDiagnosticsAttachment(DiagnosticsAttachment hook);
MORVIK_CONFIG_EXPORT BundleExtras bundleExtras();
MORVIK_CONFIG_EXPORT void setBundleExtras(BundleExtras hook);
MORVIK_CONFIG_EXPORT AccountToken accountToken();
MORVIK_CONFIG_EXPORT void setAccountToken(AccountToken hook);
MORVIK_CONFIG_EXPORT AccountTokenRefused accountTokenRefused();
MORVIK_CONFIG_EXPORT void setAccountTokenRefused(AccountTokenRefused hook);
MORVIK_CONFIG_EXPORT SnapshotProvider snapshotProvider();
MORVIK_CONFIG_EXPORT void setSnapshotProvider(SnapshotProvider hook);

// The one log sink: calls the log handler on the caller's thread, or drops the line without one.
MORVIK_CONFIG_EXPORT void log(const QString& line);

// --- Contact e-mail ---------------------------------------------------------------------------------
inline constexpr const char* rememberedContactKey = "feedback.contact.email";
MORVIK_CONFIG_EXPORT QStringList contactEmailDefaultsKeys();

// The assigned address when it is not empty, else the resolved one.
MORVIK_CONFIG_EXPORT QString contactEmail();
MORVIK_CONFIG_EXPORT void setContactEmail(const QString& value);
// The first usable address stored under the keys (default: the remembered key, then the defaults
// keys), trimmed; "" when none is usable.
MORVIK_CONFIG_EXPORT QString resolveContactEmail(PreferenceStore& defaults,
                                                 const std::optional<QStringList>& keys = std::nullopt);
MORVIK_CONFIG_EXPORT QString resolveContactEmail();
// Stores an address that looks like one (has "@" and ".", no space) and makes it the assigned one.
MORVIK_CONFIG_EXPORT void rememberContact(const QString& email);
MORVIK_CONFIG_EXPORT bool isUsableEmail(const QString& text);

// --- Colours ------------------------------------------------------------------------------------
// The colour for text and symbols drawn on top of the given accent fill.
MORVIK_CONFIG_EXPORT QColor accentInk(const QColor& accent);

// Restores every setting and hook to its initial value (for tests).
MORVIK_CONFIG_EXPORT void resetForTests();

} // namespace Feedback
