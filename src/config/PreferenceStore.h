#pragma once

#include "morvik_config_export.h"

#include <QMutex>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

// The per-user preference store: an INI file under the XDG config directory. One instance may be
// used from any thread; every access holds its lock. Values written by another process are seen
// after sync().
//
// The file may hold the user's e-mail address, so it is private whatever the umask: missing folders
// on its path are created 0700 and the file is kept 0600.
class MORVIK_CONFIG_EXPORT PreferenceStore {
public:
    explicit PreferenceStore(const QString& iniPath);
    ~PreferenceStore();
    PreferenceStore(const PreferenceStore&) = delete;
    PreferenceStore& operator=(const PreferenceStore&) = delete;

    // The application's own store, at standardPath() as it is on first use.
    static PreferenceStore& standard();
    // $XDG_CONFIG_HOME/<organization name>/<application name>.ini, without the organization folder
    // when the application has no organization name (the helper has none).
    static QString standardPath();

    // The text stored under the key; absent when nothing or something other than text is stored.
    std::optional<QString> string(const QString& key) const;
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    void sync();
    QString fileName() const;

private:
    // Writes pending changes with the file and any folder it creates private. Holds the lock.
    void save();

    mutable QMutex mutex_;
    std::unique_ptr<QSettings> settings_;
};
