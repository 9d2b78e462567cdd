#pragma once

#include "morvik_host_windows_export.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QQuickWindow;

// A ready-made menu item that opens the composer with a snapshot. The embedding code adds the item to
// one of its menus; nothing in this system adds it by itself.
class MORVIK_HOST_WINDOWS_EXPORT FeedbackMenu : public QObject {
    Q_OBJECT

public:
    using AnchorWindow = std::function<QQuickWindow*()>;

    // A new action with that title (default "Send Feedback…") and no shortcut, whose trigger runs
    // open(). The caller owns it (or gives it a parent).
    static QAction* item(const QString& title = defaultTitle());
    static QString defaultTitle();

    // The window whose picture stands in for the snapshot when the snapshot provider has none. By
    // default the window the offer banner would belong to (FeedbackBannerPanel::anchorWindow), when it
    // is a Qt Quick window; an application may name another.
    static void setAnchorWindow(AnchorWindow anchor);

public Q_SLOTS:
    // Takes a picture of the anchor window, asks the snapshot provider (when there is one) and opens
    // the composer for an idea with the provider's bytes, else the picture. Main thread.
    void open();

private:
    FeedbackMenu() = default;
    static FeedbackMenu& target();
};
