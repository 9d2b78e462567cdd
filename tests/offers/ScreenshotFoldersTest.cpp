#include "ScreenshotFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A home folder and a config folder in a temporary tree. "@H" in file contents and expectations
// stands for the temporary home folder.
class ScreenshotFoldersTest : public ::testing::Test {
protected:
    QTemporaryDir tree;
    ScreenshotFolders::Roots roots{tree.path() + "/config", tree.path() + "/home"};

    QString withHome(QString text) const { return text.replace("@H", roots.home); }

    void write(const QString& relative, const QString& contents) const {
        const QString path = roots.configHome + "/" + relative;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(withHome(contents).toUtf8());
    }
};

struct FolderCase {
    const char* name;
    std::vector<std::pair<QString, QString>> files; // path under the config folder, contents
    QStringList expected;
};

TEST_F(ScreenshotFoldersTest, ReadsEachToolsSettingsAndThePicturesFolder) {
    const QString userDirs = "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                             "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    const std::vector<FolderCase> cases = {
        {"nothing configured", {}, {"@H/Pictures/Screenshots"}},
        {"spectacle file URL with a trailing slash",
         {{"spectaclerc", "[General]\nlaunchAction=UseLastUsedCapturemode\n\n[ImageSave]\n"
                          "imageSaveLocation=file://@H/Shots/\ntranslatedScreenshotsFolder=Screenshots\n"}},
         {"@H/Shots", "@H/Pictures/Screenshots"}},
        {"spectacle URL with escaped characters",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/My%20Shots/%C3%89cran\n"}},
         {"@H/My Shots/\u00c9cran", "@H/Pictures/Screenshots"}},
        {"spectacle plain path, expanded home, desktop escapes",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation[$e]=$HOME/a\\sb/\u00c9cran\n"}},
         {"@H/a b/\u00c9cran", "@H/Pictures/Screenshots"}},
        {"spectacle empty location",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=\n"}},
         {"@H/Pictures/Screenshots"}},
        {"spectacle relative location",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=Pictures/Shots\n"}},
         {"@H/Pictures/Screenshots"}},
        {"spectacle location outside its group",
         {{"spectaclerc", "[General]\nimageSaveLocation=/tmp/x\n"}},
         {"@H/Pictures/Screenshots"}},
        {"spectacle remote location",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=smb://nas/shots\n"}},
         {"@H/Pictures/Screenshots"}},
        {"spectacle file URL naming another host",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=file://nas/shots\n"}},
         {"@H/Pictures/Screenshots"}},
        {"flameshot path with dot-dots",
         {{"flameshot/flameshot.ini", "[General]\ncontrastOpacity=188\nsavePath=@H/x/../flame/\n"
                                      "savePathFixed=false\n"}},
         {"@H/flame", "@H/Pictures/Screenshots"}},
        {"flameshot quoted path with a comma and a backslash",
         {{"flameshot/flameshot.ini", "[General]\nsavePath=\"@H/a,b\\\\c\"\n"}},
         {"@H/a,b\\c", "@H/Pictures/Screenshots"}},
        {"flameshot empty path",
         {{"flameshot/flameshot.ini", "[General]\nsavePath=\n"}},
         {"@H/Pictures/Screenshots"}},
        {"flameshot's older settings file",
         {{"Dharkael/flameshot.ini", "[General]\nsavePath=/srv/shots\n"}},
         {"/srv/shots", "@H/Pictures/Screenshots"}},
        {"pictures folder from user dirs", {{"user-dirs.dirs", userDirs}}, {"@H/Bilder/Screenshots"}},
        {"pictures folder as an absolute path with an escaped quote",
         {{"user-dirs.dirs", "XDG_PICTURES_DIR=\"/data/my \\\"pics\\\"\"\n"}},
         {"/data/my \"pics\"/Screenshots"}},
        {"user dirs without a pictures folder",
         {{"user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Music\"\n"}},
         {"@H/Pictures/Screenshots"}},
        {"the same folder from every source is listed once",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/Bilder/Screenshots/\n"},
          {"flameshot/flameshot.ini", "[General]\nsavePath=@H/Bilder/./Screenshots\n"},
          {"user-dirs.dirs", userDirs}},
         {"@H/Bilder/Screenshots"}},
        {"a tool saving into the pictures folder itself",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/Bilder\n"}, {"user-dirs.dirs", userDirs}},
         {"@H/Bilder", "@H/Bilder/Screenshots"}},
        {"all tools",
         {{"spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/S\n"},
          {"flameshot/flameshot.ini", "[General]\nsavePath=@H/F\n"},
          {"user-dirs.dirs", userDirs}},
         {"@H/S", "@H/F", "@H/Bilder/Screenshots"}},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(roots.configHome).removeRecursively();
        for (const auto& [file, contents] : c.files)
            write(file, contents);
        QStringList expected;
        for (const QString& folder : c.expected)
            expected.append(withHome(folder));
        EXPECT_EQ(ScreenshotFolders::current(roots), expected);
    }
}

TEST_F(ScreenshotFoldersTest, AChangedSettingCountsOnTheNextCall) {
    write("spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/Old\n");
    EXPECT_EQ(ScreenshotFolders::current(roots).first(), withHome("@H/Old"));
    write("spectaclerc", "[ImageSave]\nimageSaveLocation=file://@H/New\n");
    EXPECT_EQ(ScreenshotFolders::current(roots).first(), withHome("@H/New"));
}

TEST(ScreenshotFoldersEnvironment, ConfigFolderFromTheEnvironment) {
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/srv/conf/");
    EXPECT_EQ(ScreenshotFolders::fromEnvironment().configHome, "/srv/conf");
    // A relative or empty setting is invalid and falls back to ~/.config.
    for (const char* value : {"relative/conf", ""}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(ScreenshotFolders::fromEnvironment().configHome, QDir::homePath() + "/.config");
    }
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", saved);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
