#include "ScreenshotFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <optional>

namespace {

// Absolute paths only: an empty or relative setting counts as not set.
std::optional<QString> cleanedAbsolute(const QString& path) {
    if (!path.startsWith(u'/'))
        return std::nullopt;
    return QDir::cleanPath(path);
}

// "$HOME" or "${HOME}" at the start of a value, as the desktop's settings files write it.
QString expandHome(const QString& value, const QString& home) {
    for (const QString& prefix : {QStringLiteral("${HOME}"), QStringLiteral("$HOME")}) {
        if (value.startsWith(prefix) && (value.size() == prefix.size() || value.at(prefix.size()) == u'/'))
            return home + value.mid(prefix.size());
    }
    return value;
}

// Undoes the escapes of the desktop configuration files: \\ \s \t \n \r and \xNN (one byte of UTF-8).
QString unescapeDesktopValue(const QByteArray& raw) {
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c != '\\' || i + 1 == raw.size()) {
            bytes.append(c);
            continue;
        }
        const char next = raw.at(++i);
        switch (next) {
        case 's':
            bytes.append(' ');
            break;
        case 't':
            bytes.append('\t');
            break;
        case 'n':
            bytes.append('\n');
            break;
        case 'r':
            bytes.append('\r');
            break;
        case 'x': {
            bool ok = false;
            const int byte = raw.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < raw.size()) {
                bytes.append(char(byte));
                i += 2;
            } else {
                bytes.append("\\x");
            }
            break;
        }
        default:
            bytes.append(next);
        }
    }
    return QString::fromUtf8(bytes);
}

// One value from a desktop configuration file ("[Group]" then "key=value" lines). A key may carry
// options in brackets; "[$e]" asks for $HOME to be expanded. The last line for a key wins.
std::optional<QString> desktopConfigValue(const QString& file, const QByteArray& group, const QByteArray& key,
                                          const QString& home) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<QString> found;
    bool inGroup = false;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGroup = line == '[' + group + ']';
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals < 0)
            continue;
        QByteArray name = line.left(equals).trimmed();
        bool expand = false;
        if (const qsizetype bracket = name.indexOf('['); bracket >= 0) {
            expand = name.mid(bracket).contains("$e");
            name.truncate(bracket);
        }
        if (name != key)
            continue;
        const QString value = unescapeDesktopValue(line.mid(equals + 1).trimmed());
        found = expand ? expandHome(value, home) : value;
    }
    return found;
}

// A save location given as a file URL or as an absolute path.
std::optional<QString> localFolder(const QString& location) {
    if (location.startsWith(QStringLiteral("file:"))) {
        const QUrl url(location);
        // A file URL naming another host is a remote folder: nothing this machine can watch.
        if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty())
            return std::nullopt;
        return cleanedAbsolute(url.toLocalFile());
    }
    return cleanedAbsolute(location);
}

std::optional<QString> spectacleFolder(const ScreenshotFolders::Roots& roots) {
    const auto location = desktopConfigValue(roots.configHome + QStringLiteral("/spectaclerc"), "ImageSave",
                                             "imageSaveLocation", roots.home);
    if (!location)
        return std::nullopt;
    return localFolder(*location);
}

// Written through QSettings, so read back the same way: its quoting and escapes are its own. Keys of
// "[General]" are its top-level keys.
std::optional<QString> qsettingsFolder(const QString& file) {
    if (!QFileInfo::exists(file))
        return std::nullopt;
    const QSettings settings(file, QSettings::IniFormat);
    return cleanedAbsolute(settings.value(QStringLiteral("savePath")).toString());
}

// XDG_PICTURES_DIR="$HOME/Pictures" or an absolute path in double quotes, backslash escapes allowed.
std::optional<QString> picturesFolder(const ScreenshotFolders::Roots& roots) {
    QFile in(roots.configHome + QStringLiteral("/user-dirs.dirs"));
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<QString> found;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine().trimmed();
        if (!line.startsWith("XDG_PICTURES_DIR="))
            continue;
        QByteArray raw = line.mid(int(sizeof("XDG_PICTURES_DIR=")) - 1);
        if (raw.size() < 2 || !raw.startsWith('"') || !raw.endsWith('"'))
            continue;
        raw = raw.mid(1, raw.size() - 2);
        QByteArray value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw.at(i) == '\\' && i + 1 < raw.size())
                ++i;
            value.append(raw.at(i));
        }
        if (const auto path = cleanedAbsolute(expandHome(QString::fromUtf8(value), roots.home)))
            found = path;
    }
    return found;
}

} // namespace

ScreenshotFolders::Roots ScreenshotFolders::fromEnvironment() {
    const QString home = QDir::homePath();
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configHome.startsWith(u'/'))
        configHome = home + QStringLiteral("/.config");
    return {QDir::cleanPath(configHome), QDir::cleanPath(home)};
}

QStringList ScreenshotFolders::current(const Roots& roots) {
    QStringList folders;
    const auto add = [&folders](const std::optional<QString>& folder) {
        if (folder && !folders.contains(*folder))
            folders.append(*folder);
    };
    add(spectacleFolder(roots));
    add(qsettingsFolder(roots.configHome + QStringLiteral("/flameshot/flameshot.ini")));
    add(qsettingsFolder(roots.configHome + QStringLiteral("/Dharkael/flameshot.ini")));
    const QString pictures =
        picturesFolder(roots).value_or(QDir::cleanPath(roots.home + QStringLiteral("/Pictures")));
    add(QDir::cleanPath(pictures + QStringLiteral("/Screenshots")));
    return folders;
}
