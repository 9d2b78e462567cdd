#pragma once

#include "morvik_offers_export.h"

#include <QList>
#include <QString>
#include <QStringList>

// The desktop's screenshot tools, by executable base name: whose process on screen is the screenshot
// interface. The list is data; tests pass their own.
class MORVIK_OFFERS_EXPORT ScreenshotTools {
public:
    struct Tool {
        QString executable;
        // Stays running between captures (a tray icon, a background service): its mere process says
        // nothing, only its window being the active one shows that the interface is up.
        bool resident = false;
    };

    ScreenshotTools() = default;
    explicit ScreenshotTools(QList<Tool> tools);

    // gnome-screenshot, spectacle, flameshot, ksnip, xfce4-screenshooter.
    static ScreenshotTools known();

    const QList<Tool>& tools() const { return tools_; }
    bool contains(const QString& executable) const;
    // The tools that run only while a capture is being made.
    QStringList transientExecutables() const;

private:
    QList<Tool> tools_;
};
