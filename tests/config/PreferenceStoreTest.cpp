#include "PreferenceStore.h"
#include "Feedback.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The permission bits of a path in octal ("700"), or "missing".
std::string modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return "missing";
    return QString::number(info.st_mode & 07777, 8).toStdString();
}

// Runs the test body with the given umask, as a user's session may have it.
class WithUmask {
public:
    explicit WithUmask(mode_t mask)
        : saved_(::umask(mask)) {}
    ~WithUmask() { ::umask(saved_); }

private:
    mode_t saved_;
};

QStringList pathsBelow(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    return paths;
}

TEST(PreferenceStore, StandardPathFollowsTheApplicationsNames) {
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_EQ(config, qEnvironmentVariable("XDG_CONFIG_HOME"));
    struct Case {
        const char* organization;
        const char* application;
        QString expected;
    };
    const Case cases[] = {
        // The helper has no organization: no folder for one, and certainly no "Unknown Organization".
        {"", "morvik-feedback-helper", config + QStringLiteral("/morvik-feedback-helper.ini")},
        // An embedding application keeps its preferences where its own settings are.
        {"Acme", "Sketchpad", config + QStringLiteral("/Acme/Sketchpad.ini")},
    };
    for (const Case& c : cases) {
        QCoreApplication::setOrganizationName(QString::fromLatin1(c.organization));
        QCoreApplication::setApplicationName(QString::fromLatin1(c.application));
        EXPECT_EQ(PreferenceStore::standardPath().toStdString(), c.expected.toStdString());
    }
    QCoreApplication::setOrganizationName(organization);
    QCoreApplication::setApplicationName(application);
}

TEST(PreferenceStore, FoldersAndFileArePrivateWhateverTheUmask) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // A folder of the user's own, with its own permissions, above two that the store must create.
    const QString shared = home.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString file = shared + QStringLiteral("/made/here/prefs.ini");
    {
        WithUmask open(0);
        PreferenceStore store(file);
        store.setValue(QStringLiteral("feedback.contact.email"), QStringLiteral("a@example.org"));
        store.setValue(QStringLiteral("other"), 3);
        store.remove(QStringLiteral("other"));
    }
    EXPECT_EQ(modeOf(shared), "755") << "a folder that was there is left alone";
    EXPECT_EQ(modeOf(shared + QStringLiteral("/made")), "700");
    EXPECT_EQ(modeOf(shared + QStringLiteral("/made/here")), "700");
    EXPECT_EQ(modeOf(file), "600");
    EXPECT_EQ(pathsBelow(shared + QStringLiteral("/made/here")), QStringList{file})
        << "no lock or temporary files left";
    EXPECT_EQ(PreferenceStore(file).string(QStringLiteral("feedback.contact.email")),
              QStringLiteral("a@example.org"));

    // A file that something else made readable by others is private again after the next write.
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    {
        WithUmask open(0);
        PreferenceStore(file).setValue(QStringLiteral("k"), QStringLiteral("v"));
    }
    EXPECT_EQ(modeOf(file), "600");
    EXPECT_EQ(PreferenceStore(file).string(QStringLiteral("feedback.contact.email")),
              QStringLiteral("a@example.org"));
}

TEST(PreferenceStore, RememberedContactLandsInThePrivateStandardFile) {
    // main() points XDG_CONFIG_HOME at a folder that does not exist yet; this process has no
    // organization name, like the helper.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    {
        WithUmask open(0);
        Feedback::rememberContact(QStringLiteral("kept@example.org"));
    }
    const QString file = PreferenceStore::standard().fileName();
    EXPECT_EQ(QFileInfo(file).absolutePath().toStdString(), config.toStdString());
    EXPECT_TRUE(file.endsWith(QStringLiteral(".ini")));
    EXPECT_EQ(modeOf(config), "700");
    EXPECT_EQ(modeOf(file), "600");
    EXPECT_EQ(PreferenceStore(file).string(QString::fromLatin1(Feedback::rememberedContactKey)),
              QStringLiteral("kept@example.org"));
    const QStringList all = pathsBelow(QFileInfo(config).path());
    for (const QString& path : all)
        EXPECT_FALSE(path.contains(QStringLiteral("Unknown Organization"))) << path.toStdString();
}

} // namespace
