#pragma once

#include <QMutex>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

// The per-user preference store: an INI file under the XDG config directory. One instance may be
// used from any thread; every access holds its lock. Values written by another process are seen
// after sync().
class PreferenceStore {
public:
    explicit PreferenceStore(const QString& iniPath);
    ~PreferenceStore();
    PreferenceStore(const PreferenceStore&) = delete;
    PreferenceStore& operator=(const PreferenceStore&) = delete;

    // The application's own store: Qt's conventional per-user INI file for the organisation and
    // application names.
    static PreferenceStore& standard();

    // The text stored under the key; absent when nothing or something other than text is stored.
    std::optional<QString> string(const QString& key) const;
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    void sync();
    QString fileName() const;

private:
    mutable QMutex mutex_;
    std::unique_ptr<QSettings> settings_;
};
