#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace PrivateFolder {

bool make(const QString& folder) {
    QStringList missing;
    QString at = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(at)) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    for (const QString& path : std::as_const(missing)) {
        const QByteArray name = QFile::encodeName(path);
        // mkdir's mode is narrowed by the umask, never widened, so 0700 stays 0700 or less; chmod
        // then makes it exactly 0700 for the user.
        if (::mkdir(name.constData(), S_IRWXU) == 0)
            ::chmod(name.constData(), S_IRWXU);
        else if (!QFileInfo(path).isDir())
            return false;
    }
    return QFileInfo(folder).isDir();
}

} // namespace PrivateFolder
