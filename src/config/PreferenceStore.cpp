#include "PreferenceStore.h"

#include <QCoreApplication>
#include <QSettings>

PreferenceStore::PreferenceStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

PreferenceStore::~PreferenceStore() = default;

PreferenceStore& PreferenceStore::standard() {
    static PreferenceStore store([] {
        QSettings probe(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                        QCoreApplication::applicationName().isEmpty() ? QStringLiteral("app")
                                                                      : QCoreApplication::applicationName());
        return probe.fileName();
    }());
    return store;
}

std::optional<QString> PreferenceStore::string(const QString& key) const {
    QMutexLocker lock(&mutex_);
    const QVariant stored = settings_->value(key);
    // INI files keep every scalar as text; a list or map stored under the key is not text.
    if (!stored.isValid() || stored.typeId() == QMetaType::QStringList ||
        stored.typeId() == QMetaType::QVariantList || stored.typeId() == QMetaType::QVariantMap ||
        stored.typeId() == QMetaType::QByteArray || !stored.canConvert<QString>())
        return std::nullopt;
    return stored.toString();
}

QVariant PreferenceStore::value(const QString& key) const {
    QMutexLocker lock(&mutex_);
    return settings_->value(key);
}

void PreferenceStore::setValue(const QString& key, const QVariant& value) {
    QMutexLocker lock(&mutex_);
    settings_->setValue(key, value);
    settings_->sync();
}

void PreferenceStore::remove(const QString& key) {
    QMutexLocker lock(&mutex_);
    settings_->remove(key);
    settings_->sync();
}

void PreferenceStore::sync() {
    QMutexLocker lock(&mutex_);
    settings_->sync();
}

QString PreferenceStore::fileName() const {
    QMutexLocker lock(&mutex_);
    return settings_->fileName();
}
