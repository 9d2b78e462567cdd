#include "PreferenceStore.h"

#include "PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t privateFile = S_IRUSR | S_IWUSR;

// Makes the file 0600, creating it empty when missing: QSettings writes through a temporary file that
// takes the permissions of the file it replaces, and the umask's when there is none.
void makePrivateFile(const QString& file) {
    const QByteArray path = QFile::encodeName(file);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, privateFile);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 07777) != privateFile)
        ::fchmod(fd, privateFile);
    ::close(fd);
}

} // namespace

PreferenceStore::PreferenceStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

PreferenceStore::~PreferenceStore() = default;

PreferenceStore& PreferenceStore::standard() {
    static PreferenceStore store(standardPath());
    return store;
}

QString PreferenceStore::standardPath() {
    // Built here rather than by QSettings, which puts an application without an organization name
    // into an "Unknown Organization" folder.
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("app");
    const QString organization = QCoreApplication::organizationName();
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    return folder.filePath((organization.isEmpty() ? QString() : organization + QLatin1Char('/')) + name +
                           QStringLiteral(".ini"));
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
    save();
}

void PreferenceStore::remove(const QString& key) {
    QMutexLocker lock(&mutex_);
    settings_->remove(key);
    save();
}

void PreferenceStore::sync() {
    QMutexLocker lock(&mutex_);
    // Every change was saved when it was made: this only reads what other processes wrote.
    settings_->sync();
}

QString PreferenceStore::fileName() const {
    QMutexLocker lock(&mutex_);
    return settings_->fileName();
}

void PreferenceStore::save() {
    const QString file = settings_->fileName();
    PrivateFolder::make(QFileInfo(file).path());
    makePrivateFile(file);
    settings_->sync();
    // The replacement takes the permissions of the file it replaced; this keeps a file that
    // something else loosened private too.
    makePrivateFile(file);
}
