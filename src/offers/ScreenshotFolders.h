#pragma once

#include "morvik_offers_export.h"

#include <QString>
#include <QStringList>

// The folders the desktop's screenshot tools save into. Read anew on every call, so a change of a
// tool's settings counts at once, without a restart.
class MORVIK_OFFERS_EXPORT ScreenshotFolders {
public:
    // Where the settings files and the home folder are; tests pass a temporary tree.
    struct Roots {
        QString configHome; // $XDG_CONFIG_HOME, usually ~/.config
        QString home;
    };

    // The roots of this process's user: $XDG_CONFIG_HOME when absolute, else ~/.config.
    static Roots fromEnvironment();

    // The save folder each tool has configured, then the pictures folder followed by "Screenshots".
    // Cleaned paths without duplicates. The pictures folder itself never counts on its own: an owner
    // that exports pictures there would otherwise get an offer for each of them.
    static QStringList current(const Roots& roots);
    static QStringList current() { return current(fromEnvironment()); }
};
