#include "ScreenshotTools.h"

#include <algorithm>

ScreenshotTools::ScreenshotTools(QList<Tool> tools)
    : tools_(std::move(tools)) {}

ScreenshotTools ScreenshotTools::known() {
    return ScreenshotTools({
        // Started for one capture (the Print key, a menu entry) and gone when it is saved.
        {QStringLiteral("gnome-screenshot"), false},
        // Plasma starts it on demand, but it may stay as a background service between captures, and
        // it keeps running while it records the screen. Counting a lingering process as the interface
        // would hold every capture off for as long as it lingers; its capture window takes the focus,
        // so judging it by the active window misses nothing.
        {QStringLiteral("spectacle"), true},
        // A tray daemon: the capture overlay is a window of the long-running process.
        {QStringLiteral("flameshot"), true},
        // Usually kept in the tray with its main window hidden between captures.
        {QStringLiteral("ksnip"), true},
        // Runs for one capture; the panel's screenshot button starts it as well.
        {QStringLiteral("xfce4-screenshooter"), false},
    });
}

bool ScreenshotTools::contains(const QString& executable) const {
    return std::any_of(tools_.begin(), tools_.end(),
                       [&executable](const Tool& tool) { return tool.executable == executable; });
}

QStringList ScreenshotTools::transientExecutables() const {
    QStringList names;
    for (const Tool& tool : tools_) {
        if (!tool.resident)
            names.append(tool.executable);
    }
    return names;
}
